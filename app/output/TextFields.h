// Fields of the short texts users type: a settings text, a destination list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The text without the spaces around it.
inline std::string TrimSpaces(std::string_view text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The pieces between the separators; an empty text is one empty piece.
inline std::vector<std::string> SplitAt(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return parts;
        start = at + 1;
    }
}

}  // namespace kelvane
