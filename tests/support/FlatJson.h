// Reads one line of JSON (RFC 8259) holding one object, as tests see what a
// JSON writer wrote: the members in order, strings unescaped, anything else
// as written (numbers, literals, nested arrays and objects).
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

class JsonLineReader {
public:
    explicit JsonLineReader(std::string_view line) : Line(line) {}

    // Empty when the line is not exactly one well-formed object.
    std::optional<JsonObject> Object()
    {
        JsonObject object;
        if (!Take('{'))
            return std::nullopt;
        if (!Take('}')) {
            do {
                JsonMember member;
                std::optional<std::string> name = String();
                if (!name || !Take(':'))
                    return std::nullopt;
                member.Name = *name;
                if (Peek() == '"') {
                    std::optional<std::string> text = String();
                    if (!text)
                        return std::nullopt;
                    member.IsString = true;
                    member.Text = *text;
                } else {
                    const size_t start = At;
                    if (!SkipValue())
                        return std::nullopt;
                    member.Text = std::string(Line.substr(start, At - start));
                }
                object.push_back(member);
            } while (Take(','));
            if (!Take('}'))
                return std::nullopt;
        }
        return Peek() == '\0' ? std::optional(object) : std::nullopt;
    }

private:
    char Peek()
    {
        while (At < Line.size() && (Line[At] == ' ' || Line[At] == '\r'))
            ++At;
        return At < Line.size() ? Line[At] : '\0';
    }

    bool Take(char c)
    {
        if (Peek() != c)
            return false;
        ++At;
        return true;
    }

    // Escapes beyond ASCII are not needed by these tests and fail.
    std::optional<std::string> String()
    {
        if (!Take('"'))
            return std::nullopt;
        std::string text;
        for (;;) {
            if (At >= Line.size() || static_cast<unsigned char>(Line[At]) < 0x20)
                return std::nullopt;
            const char c = Line[At++];
            if (c == '"')
                return text;
            if (c != '\\') {
                text += c;
                continue;
            }
            const char e = At < Line.size() ? Line[At++] : '\0';
            const size_t k = std::string_view("\"\\/bfnrt").find(e);
            if (k != std::string_view::npos) {
                text += "\"\\/\b\f\n\r\t"[k];
            } else if (e == 'u' && At + 4 <= Line.size()) {
                const std::string hex(Line.substr(At, 4));
                char* end = nullptr;
                const unsigned long code = std::strtoul(hex.c_str(), &end, 16);
                if (end != hex.c_str() + 4 || code >= 0x80)
                    return std::nullopt;
                text += static_cast<char>(code);
                At += 4;
            } else {
                return std::nullopt;
            }
        }
    }

    bool SkipValue()
    {
        const char c = Peek();
        if (c == '"')
            return String().has_value();
        if (c == '[' || c == '{') {
            const char close = c == '[' ? ']' : '}';
            ++At;
            if (Take(close))
                return true;
            do {
                if (c == '{' && (!String() || !Take(':')))
                    return false;
                if (!SkipValue())
                    return false;
            } while (Take(','));
            return Take(close);
        }
        for (std::string_view literal : {"true", "false", "null"})
            if (Line.substr(At, literal.size()) == literal) {
                At += literal.size();
                return true;
            }
        // Digits, sign, point and exponent, as strtod reads them: it would
        // take "nan" and hexadecimal too.
        const std::string number(Line.substr(At, Line.find_first_not_of("0123456789+-.eE", At) - At));
        char* end = nullptr;
        std::strtod(number.c_str(), &end);
        if (number.empty() || end != number.c_str() + number.size())
            return false;
        At += number.size();
        return true;
    }

    std::string_view Line;
    size_t At = 0;
};

}  // namespace kelvane::test
