// NMEA 4.0 tag blocks (IEC 61162-1, with the sentence groups of IEC 61162-450)
// before the sentences that go to the network and the log: who received a
// message ("s:", the station) and when ("c:", Unix seconds), and for a
// message of several sentences, which belong together ("g:").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

// "" when the name can stand in a tag block, else what is wrong with it.
std::string StationNameProblem(std::string_view name);

class TagBlocks {
public:
    // A SentenceBlock with a tag block before each of its sentences: the
    // station and time on the first, and for a message of several sentences
    // the group (sentence, count, group number) on each.
    std::string Tag(std::string_view block, int64_t unixSeconds);

    std::string StationName;

private:
    int32_t NextGroup = 1;
};

}  // namespace kelvane
