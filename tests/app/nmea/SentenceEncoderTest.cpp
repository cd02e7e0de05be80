#include "nmea/SentenceEncoder.h"
#include "nmea/TagBlocks.h"

#include "support/AisPayload.h"
#include "support/NmeaCorpus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace kelvane::test {
namespace {

// MessageBits from message bits: element 0 is empty.
std::vector<int32_t> Bits(const std::vector<uint8_t>& bits)
{
    std::vector<int32_t> out{0};
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

std::vector<int32_t> BitsOfLength(size_t n, int messageId = 5)
{
    std::vector<uint8_t> bits(n, 0);
    for (size_t i = 0; i < 6 && i < n; ++i)
        bits[i] = static_cast<uint8_t>((messageId >> (5 - i)) & 1);
    return Bits(bits);
}

std::string Field(const std::string& sentence, int index)
{
    size_t start = 0;
    for (int i = 0; i < index; ++i)
        start = sentence.find(',', start) + 1;
    return sentence.substr(start, sentence.find(',', start) - start);
}

std::vector<std::string> Lines(const std::string& block)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = block.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(block.substr(start, end - start));
    EXPECT_EQ(start, block.size()) << "every sentence ends CR LF";
    return lines;
}

struct Encoder {
    struct : SentenceSink {
        void Deliver(std::string_view block) override { Blocks.emplace_back(block); }
        std::vector<std::string> Blocks;
    } sink;
    ReceiveCounters counters;
    SentenceEncoder encoder{counters, sink};
};

TEST(SentenceEncoder, WorkedExample)
{
    Encoder e;
    e.encoder.BuildSentences(Bits({0, 0, 0, 0, 0, 1, 1, 1}));
    ASSERT_EQ(e.sink.Blocks.size(), 1u);
    EXPECT_EQ(e.sink.Blocks[0], "!AIVDM,1,1,,,1h,4*3A\r\n");
    EXPECT_EQ(e.counters.MsgCount123, 1);
}

TEST(SentenceEncoder, SentenceBoundaries)
{
    struct Case {
        size_t bits;
        std::vector<std::string> payloadAndFill;  // "chars,fill" per sentence
    };
    // Type 5 and then zeros: "5" and "0"s.
    const std::string first = "5" + std::string(60, '0') + ",0";
    const std::string full = std::string(61, '0') + ",0";
    Encoder e;
    for (const Case& c : std::vector<Case>{
             {366, {first}},
             {367, {first, "0,5"}},
             {732, {first, full}},
             {733, {first, full, "0,5"}},
             {424, {first, std::string(10, '0') + ",2"}},
         }) {
        const int before = e.encoder.SequenceId;
        const auto lines = Lines(e.encoder.EncodeSentences(BitsOfLength(c.bits)));
        ASSERT_EQ(lines.size(), c.payloadAndFill.size()) << c.bits << " bits";
        const std::string id = lines.size() > 1 ? std::to_string(before) : "";
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string body = "AIVDM," + std::to_string(lines.size()) + "," +
                                     std::to_string(i + 1) + "," + id + ",," + c.payloadAndFill[i];
            EXPECT_EQ(lines[i], "!" + body + "*" + SentenceChecksum("!" + body)) << c.bits;
            EXPECT_LE(lines[i].size(), 80u);
        }
    }
}

TEST(SentenceEncoder, SequenceIdsWrapAndSkipSingleSentenceMessages)
{
    Encoder e;
    std::string ids;
    for (int i = 0; i < 12; ++i) {
        const auto multi = Lines(e.encoder.EncodeSentences(BitsOfLength(424)));
        EXPECT_EQ(Field(multi[0], 3), Field(multi[1], 3));
        ids += Field(multi[0], 3);
        // A single-sentence message in between has an empty field 4 and
        // leaves the identifier alone.
        EXPECT_EQ(Field(Lines(e.encoder.EncodeSentences(BitsOfLength(168, 1)))[0], 3), "");
    }
    EXPECT_EQ(ids, "012345678901");
}

TEST(SentenceEncoder, ChecksumCoversAivdmToTheFillDigit)
{
    EXPECT_EQ(SentenceChecksum("!AIVDM,1,1,,,1h,4*"), "3A");
    EXPECT_EQ(SentenceChecksum("!AIVDM,1,1,,,1h,4"), "3A");
    EXPECT_EQ(SentenceChecksum("!A*ignored"), "41");
    EXPECT_EQ(HexByte(0x0A), "0A");
    EXPECT_EQ(SixBitChar(39), 'W');
    EXPECT_EQ(SixBitChar(40), '`');
    EXPECT_EQ(SixBitChar(63), 'w');
}

TEST(SentenceEncoder, EachTypeCountsUnderItsLabel)
{
    Encoder e;
    for (int id : {1, 2, 3, 5, 18, 19, 24, 4, 20, 0, 63})
        e.encoder.BuildSentences(BitsOfLength(168, id));
    EXPECT_EQ(e.counters.MsgCount123, 3);
    EXPECT_EQ(e.counters.MsgCount5, 1);
    EXPECT_EQ(e.counters.MsgCount1819, 2);
    EXPECT_EQ(e.counters.MsgCount24, 1);
    EXPECT_EQ(e.counters.MsgCountOther, 4);
    EXPECT_EQ(e.sink.Blocks.size(), 11u);
}

TEST(SentenceEncoder, MessageWithoutBitsIsCountedButSendsNothing)
{
    Encoder e;
    e.encoder.BuildSentences(std::vector<int32_t>{0});
    EXPECT_EQ(e.counters.MsgCountOther, 1);
    EXPECT_TRUE(e.sink.Blocks.empty());
}

// --- Against real data nobody here wrote ----------------------------------------

std::vector<AisMessage> Corpus()
{
    std::vector<AisMessage> all;
    for (const char* file : {"/gpsd/sample.aivdm", "/libais/test.aivdm"}) {
        const auto messages = ReadAivdmMessages(std::string(KELVANE_TEST_NMEA_DIR) + file);
        all.insert(all.end(), messages.begin(), messages.end());
    }
    return all;
}

TEST(SentenceEncoder, RealMessagesKeepTheirPayloadAndFillBits)
{
    const auto corpus = Corpus();
    ASSERT_GT(corpus.size(), 300u);
    size_t multi = 0;
    Encoder e;
    for (const AisMessage& m : corpus) {
        std::vector<uint8_t> bits;
        try {
            bits = ArmouredToBits(m.payload, m.fillBits);
        } catch (const std::invalid_argument&) {
            continue;  // a broken payload in the log
        }
        std::string payload;
        int fill = 0;
        for (const std::string& line : Lines(e.encoder.EncodeSentences(Bits(bits)))) {
            SentenceFields fields;
            ASSERT_TRUE(ParseSentence(line, fields)) << line;
            payload += fields.payload;
            fill = fields.fillBits;
        }
        // The payload's last character may hold fill bits the log did not
        // clear; compare what the bits say.
        EXPECT_EQ(ArmouredToBits(payload, fill), bits) << m.sentences[0];
        EXPECT_EQ(fill, m.fillBits) << m.sentences[0];
        multi += m.sentences.size() > 1 ? 1 : 0;
    }
    EXPECT_GE(multi, 18u);
}

std::string Gpsdecode(const std::string& sentences)
{
    char path[] = "/tmp/kelvane-gpsdecode-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return "mkstemp failed";
    close(fd);
    std::ofstream(path, std::ios::binary) << sentences;
    const std::string command = std::string("gpsdecode -c < ") + path + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        out.append(buffer, n);
    std::remove(path);
    return out;
}

TEST(SentenceEncoder, GpsdecodeReadsOurSentencesAsTheOriginals)
{
    // Without a channel letter, and with the one each original carries.
    for (bool lettered : {false, true}) {
        std::string originals;
        std::string ours;
        Encoder e;
        for (const AisMessage& m : Corpus()) {
            std::vector<uint8_t> bits;
            SentenceFields fields;
            try {
                bits = ArmouredToBits(m.payload, m.fillBits);
            } catch (const std::invalid_argument&) {
                continue;
            }
            for (const std::string& line : m.sentences) {
                // Without the tag fields some logs add after the checksum.
                const size_t begin = line.find("!AIVD");
                originals += line.substr(begin, line.find('*', begin) + 3 - begin) + "\r\n";
            }
            const bool known = lettered && ParseSentence(m.sentences[0].substr(m.sentences[0].find("!AIVD")), fields) &&
                               (fields.channel == "A" || fields.channel == "B");
            ours += e.encoder.EncodeSentences(Bits(bits), known ? static_cast<RadioChannel>(fields.channel[0])
                                                                : RadioChannel::Unknown);
        }
        const std::string expected = Gpsdecode(originals);
        ASSERT_GT(expected.size(), 10000u) << expected.substr(0, 200);
        EXPECT_EQ(Gpsdecode(ours), expected) << (lettered ? "lettered" : "without letters");
        EXPECT_EQ(ours.find(",,B,") != std::string::npos, lettered);
    }
}

TEST(TagBlocks, ChecksummedGroupedAndReadByGpsdecodeAsTheBareSentences)
{
    Encoder e;
    TagBlocks tags;
    tags.StationName = "kelvane-1";
    std::string bare, tagged;
    int groups = 0;
    for (const AisMessage& m : Corpus()) {
        std::vector<uint8_t> bits;
        try {
            bits = ArmouredToBits(m.payload, m.fillBits);
        } catch (const std::invalid_argument&) {
            continue;
        }
        const std::string block = e.encoder.EncodeSentences(Bits(bits));
        bare += block;
        const std::string withTags = tags.Tag(block, 1765267200);
        tagged += withTags;
        // Each sentence behind its tag block; the first carries the station
        // and the time, a message of several sentences its group on each.
        const std::vector<std::string> lines = Lines(withTags);
        std::string group;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            ASSERT_EQ(line[0], '\\') << line;
            const size_t star = line.find('*'), end = line.find('\\', 1);
            int sum = 0;
            for (size_t k = 1; k < star; ++k)
                sum ^= static_cast<unsigned char>(line[k]);
            EXPECT_EQ(line.substr(star + 1, end - star - 1), HexByte(sum)) << line;
            const std::string fields = line.substr(1, star - 1);
            EXPECT_EQ(fields.rfind("s:kelvane-1,c:1765267200", 0) == 0, i == 0) << line;
            if (lines.size() > 1) {
                const size_t g = fields.find("g:");
                ASSERT_NE(g, std::string::npos) << line;
                const std::string prefix = std::to_string(i + 1) + "-" + std::to_string(lines.size()) + "-";
                EXPECT_EQ(fields.substr(g + 2, prefix.size()), prefix) << line;
                const std::string id = fields.substr(g + 2 + prefix.size());
                EXPECT_TRUE(group.empty() || id == group) << line;
                group = id;
            } else {
                EXPECT_EQ(fields.find("g:"), std::string::npos) << line;
            }
            EXPECT_EQ(line.substr(end + 1), Lines(block)[i]);
        }
        groups += lines.size() > 1 ? 1 : 0;
    }
    EXPECT_GE(groups, 18);
    EXPECT_EQ(Gpsdecode(tagged), Gpsdecode(bare));

    EXPECT_EQ(StationNameProblem("Bergen_AIS-2.n"), "");
    for (const char* bad : {"", "with space", "a,b", "star*", "back\\slash", "sixteen-letters!", "aaaaaaaaaaaaaaaa"})
        EXPECT_NE(StationNameProblem(bad), "") << bad;
}

}  // namespace
}  // namespace kelvane::test
