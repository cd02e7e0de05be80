#include "support/NmeaCorpus.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace kelvane::test {

bool ParseSentence(const std::string& line, SentenceFields& fields)
{
    const size_t begin = line.find("!AIVD");
    if (begin == std::string::npos)
        return false;
    const size_t star = line.find('*', begin);
    if (star == std::string::npos || star + 3 > line.size())
        return false;
    int sum = 0;
    for (size_t i = begin + 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    unsigned stated = 0;
    if (std::sscanf(line.c_str() + star + 1, "%2x", &stated) != 1 ||
        stated != static_cast<unsigned>(sum))
        return false;

    std::vector<std::string> parts;
    std::stringstream body(line.substr(begin, star - begin));
    std::string part;
    while (std::getline(body, part, ','))
        parts.push_back(part);
    if (parts.size() != 7 || (parts[0] != "!AIVDM" && parts[0] != "!AIVDO"))
        return false;
    try {
        fields.count = std::stoi(parts[1]);
        fields.fragment = std::stoi(parts[2]);
        fields.fillBits = std::stoi(parts[6]);
    } catch (const std::exception&) {
        return false;
    }
    fields.sequence = parts[3];
    fields.channel = parts[4];
    fields.payload = parts[5];
    return fields.count >= 1 && fields.fragment >= 1 && fields.fragment <= fields.count &&
           fields.fillBits >= 0 && fields.fillBits <= 5 && !fields.payload.empty();
}

std::vector<AisMessage> ReadAivdmMessages(const std::string& path)
{
    std::ifstream file(path);
    std::vector<AisMessage> messages;
    AisMessage pending;
    SentenceFields group;
    std::string line;
    while (std::getline(file, line)) {
        SentenceFields fields;
        if (!ParseSentence(line, fields)) {
            pending = {};
            continue;
        }
        const bool continues = !pending.sentences.empty() && fields.count == group.count &&
                               fields.sequence == group.sequence &&
                               fields.fragment == static_cast<int>(pending.sentences.size()) + 1;
        if (!continues) {
            pending = {};
            if (fields.fragment != 1)
                continue;  // a group whose start is missing
            group = fields;
        }
        pending.payload += fields.payload;
        pending.fillBits = fields.fillBits;
        pending.sentences.push_back(line);
        if (fields.fragment == fields.count) {
            messages.push_back(pending);
            pending = {};
        }
    }
    return messages;
}

}  // namespace kelvane::test
