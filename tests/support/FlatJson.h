// Reads one line of JSON holding one object, as tests see what a JSON writer
// wrote: the members in order, strings unescaped, anything else as written
// (numbers, literals, nested arrays and objects).
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::test {

struct JsonMember {
    std::string Name;
    bool IsString = false;
    std::string Text;
};

using JsonObject = std::vector<JsonMember>;

inline const JsonMember* FindMember(const JsonObject& object, std::string_view name)
{
    for (const JsonMember& member : object)
        if (member.Name == name)
            return &member;
    return nullptr;
}

// The string starting at line[at], which is past its end afterwards. Escapes
// beyond ASCII are not needed by these tests and fail.
inline std::optional<std::string> ReadJsonString(std::string_view line, size_t& at)
{
    if (at >= line.size() || line[at++] != '"')
        return std::nullopt;
    std::string text;
    while (at < line.size() && line[at] != '"') {
        const char c = line[at++];
        if (static_cast<unsigned char>(c) < 0x20 || (c == '\\' && at >= line.size()))
            return std::nullopt;
        if (c != '\\') {
            text += c;
        } else if (const size_t k = std::string_view("\"\\/bfnrt").find(line[at]); k != std::string_view::npos) {
            text += "\"\\/\b\f\n\r\t"[k];
            ++at;
        } else {
            const std::string hex(line.substr(at + 1, 4));
            char* end = nullptr;
            const unsigned long code = std::strtoul(hex.c_str(), &end, 16);
            if (line[at] != 'u' || hex.size() != 4 || end != hex.c_str() + 4 || code >= 0x80)
                return std::nullopt;
            text += static_cast<char>(code);
            at += 5;
        }
    }
    if (at++ >= line.size())
        return std::nullopt;
    return text;
}

// Empty when the line is not one object of "name":value members.
inline std::optional<JsonObject> ReadJsonObject(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    if (line.size() < 2 || line.front() != '{' || line.back() != '}')
        return std::nullopt;
    JsonObject object;
    size_t at = 1;
    while (at < line.size() - 1) {
        JsonMember member;
        std::optional<std::string> name = ReadJsonString(line, at);
        if (!name || at >= line.size() || line[at++] != ':')
            return std::nullopt;
        member.Name = *name;
        if (line[at] == '"') {
            std::optional<std::string> text = ReadJsonString(line, at);
            if (!text)
                return std::nullopt;
            member.IsString = true;
            member.Text = *text;
        } else {
            // Up to the comma or brace that ends the member, past nested
            // values and the strings in them.
            const size_t start = at;
            int depth = 0;
            while (at < line.size() - 1 && (depth > 0 || line[at] != ',')) {
                const char c = line[at];
                if (c == '"') {
                    if (!ReadJsonString(line, at))
                        return std::nullopt;
                    continue;
                }
                depth += (c == '[' || c == '{' ? 1 : 0) - (c == ']' || c == '}' ? 1 : 0);
                ++at;
            }
            member.Text = std::string(line.substr(start, at - start));
            if (member.Text.empty() || depth != 0)
                return std::nullopt;
        }
        object.push_back(member);
        if (at < line.size() - 1 && line[at++] != ',')
            return std::nullopt;
    }
    return object;
}

}  // namespace kelvane::test
