// Real !AIVDM logs as test input: whole messages, multi-sentence ones
// reassembled, broken groups and bad checksums left out.
#pragma once

#include <string>
#include <vector>

namespace kelvane::test {

struct AisMessage {
    std::string payload;  // all fragments' payloads joined
    int fillBits = 0;     // of the last fragment
    std::vector<std::string> sentences;  // as they stand in the log
};

std::vector<AisMessage> ReadAivdmMessages(const std::string& path);

// The payload and fill bits of one sentence, or false when it is not a
// well-formed !AIVDM sentence with a good checksum.
struct SentenceFields {
    int count = 0;
    int fragment = 0;
    std::string sequence;
    std::string channel;
    std::string payload;
    int fillBits = 0;
};
bool ParseSentence(const std::string& line, SentenceFields& fields);

}  // namespace kelvane::test
