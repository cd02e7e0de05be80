#include "ais/AisDecoder.h"

#include "ais/AisTexts.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace kelvane {

namespace {

// The auxiliary craft of a mother ship have MMSIs 98MIDXXXX; their class B
// static data carries the mother ship's MMSI instead of dimensions.
constexpr uint32_t AuxiliaryCraftPrefix = 98;

// A text up to its first '@' (the padding that fills a text field), without
// trailing spaces.
std::string CleanText(std::string text)
{
    text.erase(std::min(text.find('@'), text.size()));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// Fields are read at bit offsets counted from 0, as the message tables
// number them. A field whose bits run past the message's end is not read
// and marks the message truncated, so that no value is made up of missing
// bits.
class Reader {
public:
    Reader(std::span<const int32_t> messageBits, AisRecord& message)
        : Bits(messageBits),
          Size(messageBits.empty() ? 0 : static_cast<int>(messageBits.size()) - 1),
          Message(message)
    {
    }

    int BitCount() const { return Size; }

    std::optional<uint32_t> Unsigned(int start, int width)
    {
        if (start + width > Size) {
            Message.Truncated = true;
            return std::nullopt;
        }
        uint32_t value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 1) | (Bits[static_cast<size_t>(start + i + 1)] != 0 ? 1u : 0u);
        return value;
    }

    std::optional<int32_t> Signed(int start, int width)
    {
        const std::optional<uint32_t> raw = Unsigned(start, width);
        if (!raw)
            return std::nullopt;
        const auto value = static_cast<int64_t>(*raw);
        const int64_t sign = int64_t{1} << (width - 1);
        return static_cast<int32_t>(value >= sign ? value - 2 * sign : value);
    }

    // Six-bit characters as sent, padding and all.
    std::optional<std::string> RawText(int start, int chars)
    {
        if (start + 6 * chars > Size) {
            Message.Truncated = true;
            return std::nullopt;
        }
        std::string text;
        for (int i = 0; i < chars; ++i) {
            const uint32_t code = *Unsigned(start + 6 * i, 6);
            text += static_cast<char>(code < 32 ? code + 64 : code);
        }
        return text;
    }

    std::optional<std::string> Text(int start, int chars)
    {
        std::optional<std::string> text = RawText(start, chars);
        return text ? std::optional<std::string>(CleanText(*text)) : std::nullopt;
    }

    void Add(std::string name, AisValue value) { Message.Fields.push_back({std::move(name), std::move(value)}); }

    std::optional<uint32_t> Integer(const char* name, int start, int width)
    {
        const std::optional<uint32_t> value = Unsigned(start, width);
        if (value)
            Add(name, int64_t{*value});
        return value;
    }

    void Flag(const char* name, int start)
    {
        if (const std::optional<uint32_t> value = Unsigned(start, 1))
            Add(name, *value != 0);
    }

    std::optional<std::string> TextField(const char* name, int start, int chars)
    {
        std::optional<std::string> text = Text(start, chars);
        if (text)
            Add(name, *text);
        return text;
    }

private:
    std::span<const int32_t> Bits;
    int Size;
    AisRecord& Message;
};

std::optional<std::string> Available(std::optional<std::string> text)
{
    return text && !text->empty() ? text : std::nullopt;
}

template <typename T>
std::optional<T> NonZero(std::optional<T> value)
{
    return value && *value != 0 ? value : std::nullopt;
}

std::string TwoDigits(uint32_t value)
{
    return (value < 10 ? "0" : "") + std::to_string(value);
}

// Longitude and latitude in units of 1/unitsPerDegree; 181° and 91° say not
// available, anything else beyond ±180° and ±90° cannot be right either.
void Position(Reader& r, AisRecord& m, int lonStart, int lonWidth, int latStart, int latWidth,
              double unitsPerDegree, int decimals)
{
    if (const std::optional<int32_t> lon = r.Signed(lonStart, lonWidth)) {
        const double degrees = *lon / unitsPerDegree;
        r.Add("lon", AisReal{degrees, decimals});
        if (std::abs(degrees) <= 180)
            m.Lon = degrees;
    }
    if (const std::optional<int32_t> lat = r.Signed(latStart, latWidth)) {
        const double degrees = *lat / unitsPerDegree;
        r.Add("lat", AisReal{degrees, decimals});
        if (std::abs(degrees) <= 90)
            m.Lat = degrees;
    }
}

// Speed in tenths of a knot: 1023 not available, 1022 102.2 knots or more.
// gpsd writes those two as words in class A reports and as numbers in
// class B ones; a script reads what it is used to either way.
void SpeedTenths(Reader& r, AisRecord& m, int start, bool words)
{
    const std::optional<uint32_t> speed = r.Unsigned(start, 10);
    if (!speed)
        return;
    if (words && *speed >= 1022)
        r.Add("speed", std::string(*speed == 1023 ? "nan" : "fast"));
    else
        r.Add("speed", AisReal{*speed / 10.0, 1});
    if (*speed != 1023)
        m.Speed = *speed / 10.0;
}

// Course in tenths of a degree: 3600 is not available.
void CourseTenths(Reader& r, AisRecord& m, int start)
{
    if (const std::optional<uint32_t> course = r.Unsigned(start, 12)) {
        r.Add("course", AisReal{*course / 10.0, 1});
        if (*course < 3600)
            m.Course = *course / 10.0;
    }
}

void Heading(Reader& r, AisRecord& m, int start)
{
    if (const std::optional<uint32_t> heading = r.Integer("heading", start, 9); heading && *heading < 360)
        m.Heading = static_cast<int>(*heading);
}

// 60 not available, 61 to 63 the positioning system's state.
void Second(Reader& r, AisRecord& m, int start)
{
    if (const std::optional<uint32_t> second = r.Integer("second", start, 6); second && *second < 60)
        m.Second = static_cast<int>(*second);
}

// Metres from the reference point to bow, stern, port and starboard; 0 is
// not available.
void Dimensions(Reader& r, AisRecord& m, int start)
{
    auto part = [&](const char* name, int offset, int width) -> std::optional<int> {
        const std::optional<uint32_t> value = NonZero(r.Integer(name, start + offset, width));
        return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
    };
    m.ToBow = part("to_bow", 0, 9);
    m.ToStern = part("to_stern", 9, 9);
    m.ToPort = part("to_port", 18, 6);
    m.ToStarboard = part("to_starboard", 24, 6);
}

void Epfd(Reader& r, int start)
{
    if (const std::optional<uint32_t> epfd = r.Integer("epfd", start, 4))
        r.Add("epfd_text", EpfdText(static_cast<int>(*epfd)));
}

void ShipType(Reader& r, AisRecord& m, int start)
{
    if (const std::optional<uint32_t> type = r.Integer("shiptype", start, 8)) {
        r.Add("shiptype_text", ShipTypeText(static_cast<int>(*type)));
        if (*type != 0)
            m.ShipType = static_cast<int>(*type);
    }
}

// 15, "not defined", is what a station sends that has no status to give.
void Status(Reader& r, AisRecord& m, int start)
{
    if (const std::optional<uint32_t> status = r.Integer("status", start, 4)) {
        r.Add("status_text", NavigationStatusText(static_cast<int>(*status)));
        if (*status != 15)
            m.Status = static_cast<int>(*status);
    }
}

// Rate of turn as sent, ROT = 4.733 √(degrees per minute) with the sign of
// the turn: -128 not available, ±127 turning more than 5° in 30 s without a
// rate of turn indicator, ±126 708°/min or more. gpsd drops the sign of
// turns to port; it is kept here, as the rate is meant.
void Turn(Reader& r, AisRecord& m, int start)
{
    const std::optional<int32_t> rot = r.Signed(start, 8);
    if (!rot)
        return;
    if (*rot == -128) {
        r.Add("turn", std::string("nan"));
    } else if (*rot == 127 || *rot == -127) {
        r.Add("turn", std::string(*rot > 0 ? "fastright" : "fastleft"));
        m.FastTurn = *rot > 0 ? 1 : -1;
    } else {
        const double rate = std::pow(*rot / 4.733, 2.0);
        const double signedRate = *rot < 0 ? -rate : rate;
        r.Add("turn", int64_t{std::lround(signedRate)});
        m.Turn = signedRate;
    }
}

void ClassAPosition(Reader& r, AisRecord& m)
{
    Status(r, m, 38);
    Turn(r, m, 42);
    SpeedTenths(r, m, 50, true);
    r.Flag("accuracy", 60);
    Position(r, m, 61, 28, 89, 27, 600000.0, 6);
    CourseTenths(r, m, 116);
    Heading(r, m, 128);
    Second(r, m, 137);
    r.Integer("maneuver", 143, 2);
    r.Flag("raim", 148);
    r.Integer("radio", 149, 19);
}

void BaseStation(Reader& r, AisRecord& m)
{
    const auto year = r.Unsigned(38, 14);
    const auto month = r.Unsigned(52, 4);
    const auto day = r.Unsigned(56, 5);
    const auto hour = r.Unsigned(61, 5);
    const auto minute = r.Unsigned(66, 6);
    const auto second = r.Unsigned(72, 6);
    if (second) {
        std::string year4 = std::to_string(*year);
        year4.insert(0, year4.size() < 4 ? 4 - year4.size() : 0, '0');
        r.Add("timestamp", year4 + "-" + TwoDigits(*month) + "-" + TwoDigits(*day) + "T" +
                               TwoDigits(*hour) + ":" + TwoDigits(*minute) + ":" + TwoDigits(*second) + "Z");
    }
    r.Flag("accuracy", 78);
    Position(r, m, 79, 28, 107, 27, 600000.0, 6);
    Epfd(r, 134);
    r.Flag("raim", 148);
    r.Integer("radio", 149, 19);
}

void StaticAndVoyage(Reader& r, AisRecord& m)
{
    r.Integer("ais_version", 38, 2);
    m.Imo = NonZero(r.Integer("imo", 40, 30));
    m.Callsign = Available(r.TextField("callsign", 70, 7));
    m.Name = Available(r.TextField("shipname", 112, 20));
    ShipType(r, m, 232);
    Dimensions(r, m, 240);
    Epfd(r, 270);
    // Month 0, day 0, hour 24 and minute 60 say not available, and are
    // written as they come.
    const auto month = r.Unsigned(274, 4);
    const auto day = r.Unsigned(278, 5);
    const auto hour = r.Unsigned(283, 5);
    if (const auto minute = r.Unsigned(288, 6))
        r.Add("eta", TwoDigits(*month) + "-" + TwoDigits(*day) + "T" + TwoDigits(*hour) + ":" +
                         TwoDigits(*minute) + "Z");
    if (const std::optional<uint32_t> draught = r.Unsigned(294, 8)) {
        r.Add("draught", AisReal{*draught / 10.0, 1});
        if (*draught != 0)
            m.Draught = *draught / 10.0;
    }
    m.Destination = Available(r.TextField("destination", 302, 20));
    r.Integer("dte", 422, 1);
}

// SAR aircraft: altitude in metres (4095 not available, 4094 or higher) and
// speed in whole knots (1023 not available, 1022 or faster).
void SarAircraft(Reader& r, AisRecord& m)
{
    if (const std::optional<uint32_t> alt = r.Unsigned(38, 12)) {
        if (*alt >= 4094)
            r.Add("alt", std::string(*alt == 4095 ? "nan" : "high"));
        else
            r.Add("alt", int64_t{*alt});
        if (*alt != 4095)
            m.Altitude = static_cast<int>(*alt);
    }
    if (const std::optional<uint32_t> speed = r.Unsigned(50, 10)) {
        if (*speed >= 1022)
            r.Add("speed", std::string(*speed == 1023 ? "nan" : "fast"));
        else
            r.Add("speed", int64_t{*speed});
        if (*speed != 1023)
            m.Speed = *speed;
    }
    r.Flag("accuracy", 60);
    Position(r, m, 61, 28, 89, 27, 600000.0, 6);
    CourseTenths(r, m, 116);
    Second(r, m, 128);
    // gpsd still reads the next 8 bits as "regional"; they are the altitude
    // sensor (0 GNSS, 1 barometric) and spare bits now.
    r.Integer("alt_sensor", 134, 1);
    r.Integer("dte", 142, 1);
    r.Flag("assigned", 146);
    r.Flag("raim", 147);
    r.Integer("radio", 148, 20);
}

// The part that class B position reports 18 and 19 share.
void ClassBPosition(Reader& r, AisRecord& m)
{
    r.Integer("reserved", 38, 8);
    SpeedTenths(r, m, 46, false);
    r.Flag("accuracy", 56);
    Position(r, m, 57, 28, 85, 27, 600000.0, 6);
    CourseTenths(r, m, 112);
    Heading(r, m, 124);
    Second(r, m, 133);
}

void ClassBReport(Reader& r, AisRecord& m)
{
    ClassBPosition(r, m);
    r.Integer("regional", 139, 2);
    r.Flag("cs", 141);
    r.Flag("display", 142);
    r.Flag("dsc", 143);
    r.Flag("band", 144);
    r.Flag("msg22", 145);
    r.Flag("assigned", 146);
    r.Flag("raim", 147);
    r.Integer("radio", 148, 20);
}

void ClassBExtended(Reader& r, AisRecord& m)
{
    ClassBPosition(r, m);
    r.Integer("regional", 139, 4);
    m.Name = Available(r.TextField("shipname", 143, 20));
    ShipType(r, m, 263);
    Dimensions(r, m, 271);
    Epfd(r, 301);
    r.Flag("raim", 305);
    r.Integer("dte", 306, 1);
    r.Flag("assigned", 307);
}

// The name of an aid to navigation: 20 characters, and up to 14 more in an
// extension after the fixed fields, read as one text.
void AidToNavigation(Reader& r, AisRecord& m)
{
    if (const std::optional<uint32_t> type = r.Integer("aid_type", 38, 5)) {
        r.Add("aid_type_text", AidTypeText(static_cast<int>(*type)));
        if (*type != 0)
            m.AidType = static_cast<int>(*type);
    }
    const int extension = r.BitCount() > 272 ? std::min((r.BitCount() - 272) / 6, 14) : 0;
    if (const std::optional<std::string> name = r.RawText(43, 20)) {
        const std::string whole = CleanText(*name + r.RawText(272, extension).value_or(""));
        r.Add("name", whole);
        m.Name = Available(whole);
    }
    r.Flag("accuracy", 163);
    Position(r, m, 164, 28, 192, 27, 600000.0, 6);
    Dimensions(r, m, 219);
    Epfd(r, 249);
    Second(r, m, 253);
    r.Flag("off_position", 259);
    r.Integer("regional", 260, 8);
    r.Flag("raim", 268);
    r.Flag("virtual_aid", 269);
    r.Flag("assigned", 270);
}

void ClassBStatic(Reader& r, AisRecord& m)
{
    const std::optional<uint32_t> part = r.Integer("partno", 38, 2);
    if (!part)
        return;
    m.PartNumber = static_cast<int>(*part);
    if (*part == 0) {
        m.Name = Available(r.TextField("shipname", 40, 20));
    } else if (*part == 1) {
        ShipType(r, m, 40);
        // gpsd reads vendor, model and serial as one 7-character text, the
        // layout of the first revisions; it is 3 characters now.
        r.TextField("vendorid", 48, 3);
        r.Integer("model", 66, 4);
        r.Integer("serial", 70, 20);
        m.Callsign = Available(r.TextField("callsign", 90, 7));
        if (m.Mmsi / 10000000 == AuxiliaryCraftPrefix)
            r.Integer("mothership_mmsi", 132, 30);
        else
            Dimensions(r, m, 132);
        Epfd(r, 162);
    }
}

// Long-range broadcast: position in tenths of a minute, whole knots (63 not
// available) and whole degrees (511 not available).
void LongRange(Reader& r, AisRecord& m)
{
    Status(r, m, 40);
    r.Flag("accuracy", 38);
    // gpsd prints these to a tenth of a degree, far coarser than the
    // message's tenth of a minute.
    Position(r, m, 44, 18, 62, 17, 600.0, 4);
    if (const std::optional<uint32_t> speed = r.Integer("speed", 79, 6); speed && *speed != 63)
        m.Speed = *speed;
    if (const std::optional<uint32_t> course = r.Integer("course", 85, 9); course && *course < 360)
        m.Course = *course;
    r.Flag("raim", 39);
    r.Flag("gnss", 94);
}

// Safety messages, addressed (12) and broadcast (14): the text runs to the
// message's end.
void SafetyText(Reader& r, int start)
{
    r.TextField("text", start, std::max(0, (r.BitCount() - start) / 6));
}

}  // namespace

std::optional<AisRecord> DecodeAisMessage(std::span<const int32_t> messageBits)
{
    AisRecord m;
    Reader r(messageBits, m);
    if (r.BitCount() < 38)
        return std::nullopt;
    m.Type = static_cast<int>(*r.Integer("type", 0, 6));
    m.Repeat = static_cast<int>(*r.Integer("repeat", 6, 2));
    m.Mmsi = *r.Integer("mmsi", 8, 30);
    switch (m.Type) {
    case 1:
    case 2:
    case 3:
        ClassAPosition(r, m);
        break;
    case 4:
    case 11:
        BaseStation(r, m);
        break;
    case 5:
        StaticAndVoyage(r, m);
        break;
    case 9:
        SarAircraft(r, m);
        break;
    case 10:  // UTC and date inquiry
        r.Integer("dest_mmsi", 40, 30);
        break;
    case 12:
        r.Integer("seqno", 38, 2);
        r.Integer("dest_mmsi", 40, 30);
        r.Flag("retransmit", 70);
        SafetyText(r, 72);
        break;
    case 14:
        SafetyText(r, 40);
        break;
    case 18:
        ClassBReport(r, m);
        break;
    case 19:
        ClassBExtended(r, m);
        break;
    case 21:
        AidToNavigation(r, m);
        break;
    case 24:
        ClassBStatic(r, m);
        break;
    case 27:
        LongRange(r, m);
        break;
    default:
        break;
    }
    return m;
}

}  // namespace kelvane
