#include "ais/AisJson.h"

#include "support/FlatJson.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kelvane::test {
namespace {

AisRecord Message(std::vector<AisField> fields)
{
    AisRecord message;
    message.Fields = {{"type", int64_t{5}}, {"repeat", int64_t{0}}, {"mmsi", int64_t{257000001}}};
    message.Fields.insert(message.Fields.end(), fields.begin(), fields.end());
    return message;
}

TEST(AisJson, WritesGpsdsValueConventions)
{
    const AisRecord message = Message({{"shipname", std::string("EVER DIADEM")},
                                        {"lon", AisReal{-123.3953833, 6}},
                                        {"draught", AisReal{12.2, 1}},
                                        {"speed", AisReal{std::nan(""), 1}},
                                        {"raim", false},
                                        {"dte", true}});
    EXPECT_EQ(AisToJson(message),
              R"({"class":"AIS","type":5,"repeat":0,"mmsi":257000001,"scaled":true,)"
              R"("shipname":"EVER DIADEM","lon":-123.395383,"draught":12.2,"speed":"nan",)"
              R"("raim":false,"dte":true})");
}

TEST(AisJson, AddsTheProgramsFieldsOnceAfterTheMessage)
{
    const std::vector<AisField> extras = {{"channel", std::string("B")},
                                          {"signal_db", AisReal{-12.25, 1}},
                                          {"snr_db", AisReal{std::numeric_limits<double>::infinity(), 1}},
                                          {"mmsi", int64_t{1}},
                                          {"class", std::string("X")},
                                          {"scaled", false}};
    EXPECT_EQ(AisToJson(Message({}), extras),
              R"({"class":"AIS","type":5,"repeat":0,"mmsi":257000001,"scaled":true,)"
              R"("channel":"B","signal_db":-12.2,"snr_db":"nan"})");
}

TEST(AisJson, EscapesEveryStringIntoValidJson)
{
    // Quotes, backslashes and control characters escaped; UTF-8 kept as it
    // is; every byte that cannot start or continue a UTF-8 sequence (a lone
    // byte, a cut sequence, a surrogate, an overlong form) one U+FFFD, so
    // that a ship's text never breaks the line or the reader's decoding.
    const std::string nasty = std::string("q\"b\\s/\n\r\t\b\x01\x1f\x7f") + "\xc3\xa9" + "\xe2\x82\xac" +
                              "\xf0\x9f\x9a\xa2" + "\xff" + "\xc3" + "\xed\xa0\x80" + "\xe0\x80\xaf" + "end";
    std::string replaced;
    for (int i = 0; i < 8; ++i)
        replaced += "\xef\xbf\xbd";
    EXPECT_EQ(JsonString(nasty), std::string(R"("q\"b\\s/\n\r\t\b\u0001\u001f)") + "\x7f" +
                                     "\xc3\xa9\xe2\x82\xac\xf0\x9f\x9a\xa2" + replaced + "end\"");

    // Read back, names too, the text is what went in where it was UTF-8.
    const std::vector<AisField> extra = {{"c\n", std::string("\x02")}};
    const std::string line = AisToJson(Message({{"a\"b", std::string("x\ty\\")}}), extra);
    const std::optional<JsonObject> object = ReadJsonObject(line);
    ASSERT_TRUE(object) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(FindMember(*object, "a\"b")->Text, "x\ty\\");
    EXPECT_EQ(FindMember(*object, "c\n")->Text, "\x02");
}

}  // namespace
}  // namespace kelvane::test
