#include "ais/AisDecoder.h"
#include "ais/AisJson.h"
#include "ais/AisTexts.h"
#include "nmea/SentenceEncoder.h"

#include "support/AisPayload.h"
#include "support/FlatJson.h"
#include "support/NmeaCorpus.h"
#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace kelvane::test {
namespace {

// An encoder whose counts and deliveries nobody looks at: the sentences are
// taken from EncodeSentences.
struct Encoding {
    struct : SentenceSink {
        void Deliver(std::string_view) override {}
    } sink;
    ReceiveCounters counters;
};

// --- Building messages ------------------------------------------------------------

class BitWriter {
public:
    BitWriter& U(int width, int64_t value)
    {
        for (int i = width - 1; i >= 0; --i)
            Bits.push_back(static_cast<int32_t>((value >> i) & 1));
        return *this;
    }
    // Six-bit text padded with '@'.
    BitWriter& Text(int chars, std::string_view text)
    {
        for (int i = 0; i < chars; ++i) {
            const int c = static_cast<size_t>(i) < text.size() ? text[static_cast<size_t>(i)] : '@';
            U(6, c >= 64 ? c - 64 : c);
        }
        return *this;
    }
    std::vector<int32_t> Bits{0};
};

constexpr int64_t NoLon = 181 * 600000;
constexpr int64_t NoLat = 91 * 600000;

// Every field at its "not available" value unless set.
struct ClassA {
    int type = 1, repeat = 0;
    int64_t mmsi = 244123456;
    int status = 15, rot = -128, speed = 1023, accuracy = 0;
    int64_t lon = NoLon, lat = NoLat;
    int course = 3600, heading = 511, second = 60, maneuver = 0, raim = 0, radio = 0;
};
std::vector<int32_t> Build(const ClassA& m)
{
    return BitWriter()
        .U(6, m.type).U(2, m.repeat).U(30, m.mmsi).U(4, m.status).U(8, m.rot).U(10, m.speed)
        .U(1, m.accuracy).U(28, m.lon).U(27, m.lat).U(12, m.course).U(9, m.heading).U(6, m.second)
        .U(2, m.maneuver).U(3, 0).U(1, m.raim).U(19, m.radio).Bits;
}

struct Base {
    int type = 4;
    int year = 0, month = 0, day = 0, hour = 24, minute = 60, second = 60, accuracy = 0;
    int64_t lon = NoLon, lat = NoLat;
    int epfd = 0, raim = 0, radio = 0;
};
std::vector<int32_t> Build(const Base& m)
{
    return BitWriter()
        .U(6, m.type).U(2, 0).U(30, 2442000).U(14, m.year).U(4, m.month).U(5, m.day).U(5, m.hour)
        .U(6, m.minute).U(6, m.second).U(1, m.accuracy).U(28, m.lon).U(27, m.lat).U(4, m.epfd)
        .U(10, 0).U(1, m.raim).U(19, m.radio).Bits;
}

struct Voyage {
    int version = 0;
    int64_t imo = 0;
    std::string callsign{}, name{};
    int shipType = 0, bow = 0, stern = 0, port = 0, starboard = 0, epfd = 0;
    int month = 0, day = 0, hour = 24, minute = 60, draught = 0;
    std::string destination{};
    int dte = 1;
};
std::vector<int32_t> Build(const Voyage& m)
{
    return BitWriter()
        .U(6, 5).U(2, 0).U(30, 257000001).U(2, m.version).U(30, m.imo).Text(7, m.callsign)
        .Text(20, m.name).U(8, m.shipType).U(9, m.bow).U(9, m.stern).U(6, m.port).U(6, m.starboard)
        .U(4, m.epfd).U(4, m.month).U(5, m.day).U(5, m.hour).U(6, m.minute).U(8, m.draught)
        .Text(20, m.destination).U(1, m.dte).U(1, 0).Bits;
}

struct Sar {
    int altitude = 4095, speed = 1023, accuracy = 0;
    int64_t lon = NoLon, lat = NoLat;
    int course = 3600, second = 60, sensor = 0, dte = 1, assigned = 0, raim = 0, radio = 0;
};
std::vector<int32_t> Build(const Sar& m)
{
    return BitWriter()
        .U(6, 9).U(2, 0).U(30, 111257001).U(12, m.altitude).U(10, m.speed).U(1, m.accuracy)
        .U(28, m.lon).U(27, m.lat).U(12, m.course).U(6, m.second).U(1, m.sensor).U(7, 0)
        .U(1, m.dte).U(3, 0).U(1, m.assigned).U(1, m.raim).U(20, m.radio).Bits;
}

// Messages 18 and 19; the flags of 18 are 0 or all 1.
struct ClassB {
    int type = 18, reserved = 0, speed = 1023, accuracy = 0;
    int64_t lon = NoLon, lat = NoLat;
    int course = 3600, heading = 511, second = 60, regional = 0, flags = 0;
    std::string name{};
    int shipType = 0, bow = 0, epfd = 0, radio = 0;
};
std::vector<int32_t> Build(const ClassB& m)
{
    BitWriter w;
    w.U(6, m.type).U(2, 0).U(30, 338000001).U(8, m.reserved).U(10, m.speed).U(1, m.accuracy)
        .U(28, m.lon).U(27, m.lat).U(12, m.course).U(9, m.heading).U(6, m.second);
    if (m.type == 18)
        return w.U(2, m.regional).U(8, m.flags ? 255 : 0).U(20, m.radio).Bits;
    return w.U(4, m.regional).Text(20, m.name).U(8, m.shipType).U(9, m.bow).U(9, 0).U(6, 0).U(6, 0)
        .U(4, m.epfd).U(3, m.flags ? 7 : 2).U(4, 0).Bits;
}

struct Aton {
    int aidType = 0;
    std::string name{};
    int accuracy = 0;
    int64_t lon = NoLon, lat = NoLat;
    int bow = 0, epfd = 0, second = 60, flags = 0, regional = 0;
    std::string extension{};
};
std::vector<int32_t> Build(const Aton& m)
{
    BitWriter w;
    w.U(6, 21).U(2, 0).U(30, 992576001).U(5, m.aidType).Text(20, m.name).U(1, m.accuracy)
        .U(28, m.lon).U(27, m.lat).U(9, m.bow).U(9, 0).U(6, 0).U(6, 0).U(4, m.epfd).U(6, m.second)
        .U(1, m.flags).U(8, m.regional).U(1, m.flags).U(1, m.flags).U(1, m.flags).U(1, 0)
        .Text(static_cast<int>(m.extension.size()), m.extension);
    // The extension ends on a whole octet.
    return w.U(static_cast<int>((8 - (w.Bits.size() - 1) % 8) % 8), 0).Bits;
}

std::vector<int32_t> StaticA(int64_t mmsi, std::string_view name, bool spare = false)
{
    BitWriter w;
    w.U(6, 24).U(2, 0).U(30, mmsi).U(2, 0).Text(20, name);
    return spare ? w.U(8, 0).Bits : w.Bits;
}

struct StaticB {
    int64_t mmsi = 338000002;
    int shipType = 0;
    std::string vendor{};
    int model = 0, serial = 0;
    std::string callsign{};
    int64_t dimensions = 0;  // or the mother ship's MMSI
    int epfd = 0;
};
std::vector<int32_t> Build(const StaticB& m)
{
    return BitWriter()
        .U(6, 24).U(2, 0).U(30, m.mmsi).U(2, 1).U(8, m.shipType).Text(3, m.vendor).U(4, m.model)
        .U(20, m.serial).Text(7, m.callsign).U(30, m.dimensions).U(4, m.epfd).U(2, 0).Bits;
}

struct LongRange {
    int accuracy = 0, raim = 0, status = 15;
    int64_t lon = 181 * 600, lat = 91 * 600;
    int speed = 63, course = 511, gnss = 0;
};
std::vector<int32_t> Build(const LongRange& m)
{
    return BitWriter()
        .U(6, 27).U(2, 3).U(30, 244000027).U(1, m.accuracy).U(1, m.raim).U(4, m.status)
        .U(18, m.lon).U(17, m.lat).U(6, m.speed).U(9, m.course).U(1, m.gnss).U(1, 0).Bits;
}

std::vector<int32_t> Resized(std::vector<int32_t> bits, size_t count)
{
    bits.resize(count + 1, 0);
    return bits;
}

// --- gpsdecode as the peer ---------------------------------------------------------

struct Probe {
    std::vector<int32_t> bits;
    std::string sentences;  // what gpsdecode reads for it
};

// Ends each probe's output: a UTC inquiry from 999999999 naming the probe.
constexpr uint32_t MarkerMmsi = 999999999;

std::vector<std::string> Gpsdecode(const std::string& input)
{
    char path[] = "/tmp/kelvane-ais-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return {};
    close(fd);
    std::ofstream(path, std::ios::binary) << input;
    const ProgramResult result = RunProgram("/bin/sh", {"-c", "exec gpsdecode -j"}, path);
    std::remove(path);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> lines;
    std::istringstream out(result.out);
    for (std::string line; std::getline(out, line);)
        lines.push_back(line);
    return lines;
}

std::string Trimmed(std::string text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// What gpsd writes for a text of ours where M.1371 gave a code a meaning gpsd
// does not know.
std::string GpsdWords(const JsonObject& ours, const std::string& textName)
{
    const std::string codeName = textName.substr(0, textName.size() - 5);
    const int code = std::atoi(FindMember(ours, codeName)->Text.c_str());
    if (codeName == "status" && (code == 11 || code == 12 || code == 14))
        return "Reserved";
    if (codeName == "epfd" && code == 15)
        return "INVALID EPFD";
    if (codeName == "shiptype" && code >= 100)
        return "INVALID SHIP TYPE";
    return FindMember(ours, textName)->Text;
}

bool Agree(int type, const JsonObject& ours, const JsonMember& mine, const JsonMember& theirs)
{
    const std::string& name = mine.Name;
    if (name == "vendorid")  // gpsd's runs on into the model and serial
        return mine.Text == Trimmed(theirs.Text.substr(0, 3));
    if (type == 27 && name == "status")  // gpsd writes the words only
        return theirs.Text == GpsdWords(ours, "status_text");
    if (name.ends_with("_text"))
        return theirs.Text == GpsdWords(ours, name);
    if (name == "turn" && !mine.IsString && mine.Text[0] == '-')  // gpsd drops the sign
        return theirs.Text == mine.Text.substr(1);
    if (mine.IsString || theirs.IsString || mine.Text == theirs.Text)
        return mine.IsString == theirs.IsString && mine.Text == theirs.Text;
    // A number is its value, however many digits write it (gpsd pads to its
    // decimals, ours are the fewest that read back): ours may be finer than
    // gpsd's, and then agrees to gpsd's decimals.
    auto decimals = [](const std::string& t) {
        const size_t point = t.find('.');
        return point == std::string::npos ? 0 : static_cast<int>(t.size() - point - 1);
    };
    const int coarser = decimals(theirs.Text);
    return std::abs(std::atof(mine.Text.c_str()) - std::atof(theirs.Text.c_str())) <=
           0.5 * std::pow(10.0, -coarser) + 1e-9;
}

const std::set<int> DecodedTypes = {1, 2, 3, 4, 5, 9, 10, 11, 12, 14, 18, 19, 21, 24, 27};

// gpsd's fields this decoder does not write: its input's name, and for SAR
// aircraft the 8 bits that are the altitude sensor and spare now. For other
// types, every field after the MMSI.
bool GpsdOnly(int type, const std::string& name)
{
    return name == "device" || (type == 9 && name == "regional") || !DecodedTypes.contains(type);
}

template <typename T>
std::optional<double> Real(const std::optional<T>& value)
{
    return value ? std::optional<double>(static_cast<double>(*value)) : std::nullopt;
}

// The vessel list's members say what the fields, checked against gpsd, say.
void ExpectMembersAsFields(const AisRecord& r, const std::string& sentences)
{
    const std::pair<std::optional<double>, const char*> numbers[] = {
        {Real(r.Status), "status"}, {r.Speed, "speed"}, {r.Lon, "lon"}, {r.Lat, "lat"}, {r.Course, "course"},
        {Real(r.Heading), "heading"}, {Real(r.Second), "second"}, {Real(r.Altitude), "alt"},
        {Real(r.ShipType), "shiptype"}, {Real(r.AidType), "aid_type"}, {Real(r.Imo), "imo"},
        {Real(r.ToBow), "to_bow"}, {Real(r.ToStern), "to_stern"}, {Real(r.ToPort), "to_port"},
        {Real(r.ToStarboard), "to_starboard"}, {r.Draught, "draught"}, {Real(r.PartNumber), "partno"}};
    for (const auto& [member, name] : numbers) {
        const AisValue* field = r.Find(name);
        if (!member || !field || std::holds_alternative<std::string>(*field))
            continue;
        const double value = std::holds_alternative<AisReal>(*field) ? std::get<AisReal>(*field).Value
                                                                      : static_cast<double>(std::get<int64_t>(*field));
        EXPECT_EQ(*member, value) << name << " of " << sentences;
    }
    const std::pair<std::optional<std::string>, const char*> texts[] = {
        {r.Name, r.Type == 21 ? "name" : "shipname"}, {r.Callsign, "callsign"}, {r.Destination, "destination"}};
    for (const auto& [member, name] : texts) {
        const AisValue* field = r.Find(name);
        EXPECT_TRUE(!member || (field && std::get<std::string>(*field) == *member)) << name << " of " << sentences;
    }
}

struct Tally {
    int messages = 0;
    int fields = 0;
    std::set<int> types;
};

// Runs gpsdecode over all probes and compares every field that both write.
// gpsd writes message 24 once, when part B follows part A, with both parts'
// fields; our part B is compared together with our last part A of its MMSI.
Tally ExpectAgreement(const std::vector<Probe>& probes)
{
    std::string input;
    for (size_t i = 0; i < probes.size(); ++i) {
        input += probes[i].sentences;
        const std::vector<int32_t> marker =
            BitWriter().U(6, 10).U(2, 0).U(30, MarkerMmsi).U(2, 0).U(30, static_cast<int64_t>(i)).U(2, 0).Bits;
        Encoding e;
        input += SentenceEncoder(e.counters, e.sink).EncodeSentences(marker);
    }
    std::vector<std::vector<JsonObject>> theirs(1);
    for (const std::string& line : Gpsdecode(input)) {
        const std::optional<JsonObject> object = ReadJsonObject(line);
        if (!object) {
            ADD_FAILURE() << "gpsdecode wrote no JSON object: " << line;
            continue;
        }
        const JsonMember* type = FindMember(*object, "type");
        const JsonMember* mmsi = FindMember(*object, "mmsi");
        const JsonMember* probe = FindMember(*object, "dest_mmsi");
        if (type && type->Text == "10" && mmsi && mmsi->Text == std::to_string(MarkerMmsi) && probe) {
            EXPECT_EQ(probe->Text, std::to_string(theirs.size() - 1));
            theirs.emplace_back();
        } else {
            theirs.back().push_back(*object);
        }
    }
    EXPECT_EQ(theirs.size(), probes.size() + 1) << "a marker went missing";
    theirs.resize(probes.size() + 1);

    Tally tally;
    std::map<uint32_t, JsonObject> partA;
    for (size_t i = 0; i < probes.size(); ++i) {
        const std::optional<AisRecord> message = DecodeAisMessage(probes[i].bits);
        if (!message) {
            EXPECT_TRUE(theirs[i].empty()) << "gpsd decodes what we cannot: " << probes[i].sentences;
            continue;
        }
        ExpectMembersAsFields(*message, probes[i].sentences);
        const std::string json = AisToJson(*message);
        std::optional<JsonObject> ours = ReadJsonObject(json);
        if (!ours) {
            ADD_FAILURE() << "not one JSON object: " << json;
            continue;
        }
        if (message->Type == 24 && message->PartNumber == 0)
            partA[message->Mmsi] = *ours;
        if (message->Type == 24 && message->PartNumber == 1 && partA.contains(message->Mmsi))
            ours->push_back(*FindMember(partA[message->Mmsi], "shipname"));
        EXPECT_LE(theirs[i].size(), 1u) << probes[i].sentences;
        for (const JsonObject& gpsd : theirs[i]) {
            ++tally.messages;
            tally.types.insert(message->Type);
            for (const JsonMember& field : gpsd) {
                const JsonMember* mine = FindMember(*ours, field.Name);
                if (!mine) {
                    EXPECT_TRUE(GpsdOnly(message->Type, field.Name) || message->Truncated)
                        << "we do not write " << field.Name << " of " << probes[i].sentences;
                    continue;
                }
                ++tally.fields;
                EXPECT_TRUE(Agree(message->Type, *ours, *mine, field))
                    << field.Name << ": ours " << mine->Text << ", gpsd " << field.Text << "\n"
                    << json << "\n" << probes[i].sentences;
            }
        }
    }
    return tally;
}

std::vector<Probe> Encoded(const std::vector<std::vector<int32_t>>& messages)
{
    Encoding e;
    SentenceEncoder encoder(e.counters, e.sink);
    std::vector<Probe> probes;
    for (const std::vector<int32_t>& bits : messages)
        probes.push_back({bits, encoder.EncodeSentences(bits, RadioChannel::A)});
    return probes;
}

// --- Agreement with gpsd -----------------------------------------------------------

TEST(AisDecoder, AgreesWithGpsdOnRealTraffic)
{
    std::vector<Probe> probes;
    for (const char* file : {"gpsd/sample.aivdm", "gpsd/ais-18-27.log", "libais/test.aivdm", "libais/typeexamples.nmea",
                             "pyais/nmea_data_sample.txt"}) {
        for (const AisMessage& m : ReadAivdmMessages(std::string(KELVANE_TEST_NMEA_DIR) + "/" + file)) {
            std::vector<uint8_t> bits;
            try {
                bits = ArmouredToBits(m.payload, m.fillBits);
            } catch (const std::invalid_argument&) {
                continue;  // a broken payload in the log
            }
            Probe probe{{0}, {}};
            probe.bits.insert(probe.bits.end(), bits.begin(), bits.end());
            for (const std::string& line : m.sentences) {
                // Without the tag fields some logs add around the sentence.
                const size_t begin = line.find("!AIVD");
                probe.sentences += line.substr(begin, line.find('*', begin) + 3 - begin) + "\r\n";
            }
            probes.push_back(probe);
        }
    }
    ASSERT_GT(probes.size(), 300u);
    const Tally tally = ExpectAgreement(probes);
    EXPECT_GT(tally.messages, 280);
    EXPECT_GT(tally.fields, 2500);
    for (int type : DecodedTypes)
        EXPECT_TRUE(tally.types.contains(type)) << "no message " << type << " compared";
}

TEST(AisDecoder, AgreesWithGpsdOnExtremeAndMissingValues)
{
    constexpr int64_t Lon180 = 180 * 600000;
    constexpr int64_t Lat90 = 90 * 600000;
    std::vector<std::vector<int32_t>> m;
    // Class A: nothing available, the largest and smallest values, values
    // out of range, and every rate of turn and status.
    m.push_back(Build(ClassA{}));
    m.push_back(Build(ClassA{.type = 2, .repeat = 3, .mmsi = (1 << 30) - 1, .status = 0, .rot = 127,
                             .speed = 1022, .accuracy = 1, .lon = Lon180, .lat = Lat90, .course = 3599,
                             .heading = 359, .second = 59, .maneuver = 2, .raim = 1, .radio = (1 << 19) - 1}));
    m.push_back(Build(ClassA{.type = 3, .mmsi = 0, .rot = -127, .speed = 0, .lon = -Lon180, .lat = -Lat90,
                             .course = 0, .heading = 0, .second = 63, .maneuver = 3}));
    m.push_back(Build(ClassA{.lon = (1 << 27) - 1, .lat = -(1 << 26), .course = 4095, .heading = 510, .second = 61}));
    m.push_back(Build(ClassA{.lon = -1, .lat = 1, .course = 3601, .heading = 360, .second = 62}));
    for (int rot = -128; rot < 128; ++rot)
        m.push_back(Build(ClassA{.rot = rot, .speed = rot + 128}));
    for (int status = 0; status < 16; ++status)
        m.push_back(Build(ClassA{.status = status}));
    // Ended early: everything but the radio state, and half the fields.
    m.push_back(Resized(Build(ClassA{.rot = 3, .speed = 55}), 163));
    m.push_back(Resized(Build(ClassA{.rot = 3, .speed = 55}), 100));

    // Base stations: time not available, a real time, every device.
    m.push_back(Build(Base{}));
    m.push_back(Build(Base{.type = 11, .year = 2024, .month = 2, .day = 29, .hour = 23, .minute = 59,
                           .second = 59, .accuracy = 1, .lon = Lon180, .lat = -Lat90, .raim = 1, .radio = 1}));
    m.push_back(Build(Base{.year = 16383, .month = 15, .day = 31, .hour = 31, .minute = 63, .second = 63}));
    for (int epfd = 0; epfd < 16; ++epfd)
        m.push_back(Build(Base{.epfd = epfd}));

    // Static and voyage data: nothing, the largest values, texts with
    // padding inside and characters JSON escapes, every ship type; without
    // the last bits, and longer.
    m.push_back(Build(Voyage{}));
    m.push_back(Build(Voyage{.version = 3, .imo = (1 << 30) - 1, .callsign = "AB@CD", .name = "  LEAD  ",
                             .shipType = 255, .bow = 511, .stern = 511, .port = 63, .starboard = 63, .epfd = 15,
                             .month = 12, .day = 31, .hour = 23, .minute = 59, .draught = 255,
                             .destination = "A B  @@@X", .dte = 0}));
    m.push_back(Build(Voyage{.callsign = "\"\\ X", .name = "NAME?:;<=>!#$%&'()*+,-./",
                             .destination = "ABCDEFGHIJKLMNOPQRST"}));
    for (int type = 0; type < 256; ++type)
        m.push_back(Build(Voyage{.shipType = type}));
    m.push_back(Resized(Build(Voyage{.name = "SHORT", .dte = 0}), 420));
    m.push_back(Resized(Build(Voyage{.name = "LONG"}), 432));

    // SAR aircraft.
    m.push_back(Build(Sar{}));
    m.push_back(Build(Sar{.altitude = 4094, .speed = 1022, .accuracy = 1, .lon = -Lon180, .lat = Lat90,
                          .course = 3599, .second = 59, .sensor = 1, .dte = 0, .assigned = 1, .raim = 1,
                          .radio = (1 << 20) - 1}));
    m.push_back(Build(Sar{.altitude = 0, .speed = 0, .course = 0, .second = 0}));

    // Class B.
    m.push_back(Build(ClassB{}));
    m.push_back(Build(ClassB{.reserved = 255, .speed = 1022, .accuracy = 1, .lon = Lon180, .lat = Lat90,
                             .course = 3599, .heading = 359, .second = 59, .regional = 3, .flags = 1,
                             .radio = (1 << 20) - 1}));
    m.push_back(Build(ClassB{.type = 19}));
    m.push_back(Build(ClassB{.type = 19, .reserved = 255, .speed = 0, .lon = -Lon180, .lat = -Lat90,
                             .course = 0, .heading = 0, .second = 63, .regional = 15, .flags = 1,
                             .name = "X@Y", .shipType = 99, .bow = 511, .epfd = 15}));

    // Aids to navigation: names with and without an extension, every type.
    m.push_back(Build(Aton{}));
    m.push_back(Build(Aton{.aidType = 31, .name = "ABCDEFGHIJKLMNOPQRST", .accuracy = 1, .lon = -Lon180,
                           .lat = Lat90, .bow = 511, .epfd = 15, .second = 63, .flags = 1, .regional = 255,
                           .extension = "UVWXYZ0123456@"}));
    m.push_back(Build(Aton{.name = "AB", .extension = "CD"}));
    m.push_back(Build(Aton{.name = "ABCDEFGHIJKLMNOPQRS ", .extension = "TU  "}));
    m.push_back(Build(Aton{.name = "ABCDEFGHIJKLMNOPQRST", .extension = "12345678901234"}));
    for (int type = 0; type < 32; ++type)
        m.push_back(Build(Aton{.aidType = type, .name = "MARK"}));

    // Class B static data: parts A and B, an auxiliary craft's, the widest
    // vendor fields, a part without its A.
    m.push_back(StaticA(338000002, "BOAT@X"));
    m.push_back(Build(StaticB{.shipType = 37, .vendor = "ABC", .model = 15, .serial = (1 << 20) - 1,
                              .callsign = "CALL@", .dimensions = (int64_t{511} << 21) | (1 << 12) | (63 << 6) | 2,
                              .epfd = 15}));
    m.push_back(StaticA(982000001, "DAUGHTER", true));
    m.push_back(Build(StaticB{.mmsi = 982000001, .shipType = 36, .vendor = "X", .callsign = "C",
                              .dimensions = 338000002}));
    m.push_back(Build(StaticB{.mmsi = 338000003, .shipType = 30}));

    // Long-range broadcasts.
    m.push_back(Build(LongRange{}));
    m.push_back(Build(LongRange{.accuracy = 1, .raim = 1, .status = 0, .lon = 180 * 600, .lat = 90 * 600,
                                .speed = 62, .course = 359, .gnss = 1}));
    m.push_back(Build(LongRange{.lon = -180 * 600, .lat = -90 * 600, .speed = 0, .course = 0}));
    m.push_back(Build(LongRange{.lon = 12345, .lat = -1}));
    for (int status = 0; status < 16; ++status)
        m.push_back(Build(LongRange{.status = status}));

    // Safety texts run to the message's end, the longest over three
    // sentences; a UTC inquiry; an interrogation gives its header only.
    m.push_back(BitWriter().U(6, 14).U(2, 1).U(30, 123).U(2, 0).Text(5, "SOS \"").Bits);
    m.push_back(Resized(BitWriter().U(6, 14).U(2, 0).U(30, 123).U(2, 0).Text(4, "A@B ").Bits, 40 + 6 * 4 + 3));
    m.push_back(BitWriter().U(6, 12).U(2, 3).U(30, 1).U(2, 3).U(30, (1 << 30) - 1).U(2, 2).Text(156, "LONG").Bits);
    m.push_back(BitWriter().U(6, 10).U(2, 0).U(30, 2).U(2, 0).U(30, 366000001).U(2, 0).Bits);
    m.push_back(BitWriter().U(6, 15).U(2, 0).U(30, 3).U(2, 0).U(30, 4).U(6, 5).U(12, 0).Bits);

    const Tally tally = ExpectAgreement(Encoded(m));
    EXPECT_GT(tally.fields, 10000);
    for (int type : DecodedTypes)
        EXPECT_TRUE(tally.types.contains(type)) << "no message " << type << " compared";
}

// --- What a vessel list reads --------------------------------------------------------

AisRecord Decode(const std::vector<int32_t>& bits)
{
    return DecodeAisMessage(bits).value_or(AisRecord{});
}

TEST(AisDecoder, VesselListSeesWhatIsNotAvailable)
{
    for (const AisRecord& r : {Decode(Build(ClassA{})),
                               Decode(Build(ClassA{.lon = (1 << 27) - 1, .lat = NoLat + 1, .course = 3601,
                                                   .heading = 360, .second = 61}))})
        EXPECT_FALSE(r.Status || r.Turn || r.FastTurn || r.Speed || r.Lon || r.Lat || r.Course || r.Heading ||
                     r.Second);
    const AisRecord voyage = Decode(Build(Voyage{.callsign = "@@@", .name = "    "}));
    EXPECT_FALSE(voyage.Imo || voyage.Callsign || voyage.Name || voyage.Destination || voyage.ShipType ||
                 voyage.ToBow || voyage.ToStern || voyage.ToPort || voyage.ToStarboard || voyage.Draught);
    const AisRecord far = Decode(Build(LongRange{}));
    EXPECT_FALSE(far.Lon || far.Lat || far.Speed || far.Course);
    EXPECT_FALSE(Decode(Build(Sar{})).Altitude);

    // The sign of a turn to port, and a turn without a rate.
    EXPECT_NEAR(Decode(Build(ClassA{.rot = -126})).Turn.value_or(0), -708.7, 0.05);
    EXPECT_EQ(Decode(Build(ClassA{.rot = -127})).FastTurn, -1);
    EXPECT_FALSE(Decode(Build(StaticB{.mmsi = 982000001, .dimensions = 338000002})).ToBow)
        << "an auxiliary craft sends its mother ship's MMSI there";
    const std::optional<JsonObject> longRange = ReadJsonObject(AisToJson(Decode(Build(LongRange{.lon = 12345, .lat = -1}))));
    ASSERT_TRUE(longRange);
    EXPECT_EQ(std::atof(FindMember(*longRange, "lon")->Text.c_str()), 20.575);
    EXPECT_EQ(std::atof(FindMember(*longRange, "lat")->Text.c_str()), -0.0017) << "to the message's tenth of a minute";

    const std::map<int, std::string> words = {
        {0, "Not available"}, {30, "Fishing"}, {36, "Sailing"}, {37, "Pleasure Craft"}, {52, "Tug"},
        {60, "Passenger"}, {69, "Passenger"}, {70, "Cargo"}, {84, "Tanker"}, {99, "Other"},
        {150, "Regional"}, {255, "Reserved"}, {256, "Not available"}};
    for (const auto& [type, text] : words)
        EXPECT_EQ(ShipCategoryText(type), text) << type;
}

TEST(AisDecoder, ShortMessagesGiveOnlyTheFieldsTheyHold)
{
    EXPECT_FALSE(DecodeAisMessage({}));
    EXPECT_FALSE(DecodeAisMessage(Resized(Build(ClassA{}), 37))) << "no whole MMSI";

    const AisRecord header = *DecodeAisMessage(Resized(Build(ClassA{.mmsi = 211000001}), 38));
    EXPECT_TRUE(header.Truncated);
    EXPECT_EQ(header.Mmsi, 211000001u);
    EXPECT_EQ(AisToJson(header), R"({"class":"AIS","type":1,"repeat":0,"mmsi":211000001,"scaled":true})");

    // Half a longitude is none: no value is made of missing bits.
    const AisRecord half = *DecodeAisMessage(Resized(Build(ClassA{.lon = 600000, .lat = 600000}), 100));
    EXPECT_TRUE(half.Truncated);
    EXPECT_DOUBLE_EQ(*half.Lon, 1.0);
    EXPECT_FALSE(half.Lat);
    EXPECT_FALSE(half.Find("lat") || half.Find("course"));

    // A name that fills its field and an extension that ends mid-character.
    const std::vector<int32_t> aton = Build(Aton{.name = "ABCDEFGHIJKLMNOPQRST", .extension = "UVWX"});
    EXPECT_EQ(DecodeAisMessage(Resized(aton, 272 + 15))->Name, "ABCDEFGHIJKLMNOPQRSTUV");
    EXPECT_FALSE(DecodeAisMessage(aton)->Truncated);
}

}  // namespace
}  // namespace kelvane::test
