#include "nmea/TagBlocks.h"

#include "nmea/SentenceEncoder.h"

#include <vector>

namespace kelvane {

namespace {

// The checksum of a tag block covers the text between its backslashes, up to
// the '*', as a sentence's covers the text after its '!'.
std::string TagBlock(const std::string& fields)
{
    return "\\" + fields + "*" + SentenceChecksum("\\" + fields) + "\\";
}

}  // namespace

std::string StationNameProblem(std::string_view name)
{
    if (name.empty())
        return "The station name is empty.";
    if (name.size() > 15)
        return "The station name " + std::string(name) + " is longer than 15 characters.";
    for (const char c : name) {
        // Letters, digits and a few marks: nothing a tag block or sentence
        // gives a meaning to.
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.';
        if (!plain)
            return "The station name " + std::string(name) +
                   " may hold only letters, digits, '-', '_' and '.'.";
    }
    return {};
}

std::string TagBlocks::Tag(std::string_view block, int64_t unixSeconds)
{
    std::vector<std::string_view> sentences;
    for (size_t start = 0; start < block.size();) {
        const size_t end = block.find("\r\n", start);
        const size_t next = end == std::string_view::npos ? block.size() : end + 2;
        sentences.push_back(block.substr(start, next - start));
        start = next;
    }
    const std::string source = "s:" + StationName + ",c:" + std::to_string(unixSeconds);
    std::string tagged;
    if (sentences.size() == 1)
        return TagBlock(source) + std::string(block);
    const std::string group = std::to_string(NextGroup);
    NextGroup = NextGroup == 9999 ? 1 : NextGroup + 1;
    for (size_t i = 0; i < sentences.size(); ++i) {
        const std::string g = "g:" + std::to_string(i + 1) + "-" + std::to_string(sentences.size()) + "-" + group;
        tagged += TagBlock(i == 0 ? source + "," + g : g);
        tagged += sentences[i];
    }
    return tagged;
}

}  // namespace kelvane
