#include "ais/AisJson.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kelvane {

namespace {

// The length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8Length(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

std::string JsonReal(const AisReal& real)
{
    if (!std::isfinite(real.Value))
        return "\"nan\"";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", std::clamp(real.Decimals, 0, 17), real.Value);
    return text;
}

std::string JsonValue(const AisValue& value)
{
    if (const auto* integer = std::get_if<int64_t>(&value))
        return std::to_string(*integer);
    if (const auto* real = std::get_if<AisReal>(&value))
        return JsonReal(*real);
    if (const auto* text = std::get_if<std::string>(&value))
        return JsonString(*text);
    return std::get<bool>(value) ? "true" : "false";
}

}  // namespace

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t length = Utf8Length(text, i);
            out += length > 0 ? text.substr(i, length) : "\\ufffd";
            i += std::max<size_t>(length, 1);
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

std::string AisToJson(const AisRecord& message, std::span<const AisField> extras)
{
    std::vector<std::string> names = {"class", "scaled"};
    std::string out = "{\"class\":\"AIS\"";
    auto add = [&](const AisField& field) {
        if (std::find(names.begin(), names.end(), field.Name) != names.end())
            return;
        names.push_back(field.Name);
        out += "," + JsonString(field.Name) + ":" + JsonValue(field.Value);
    };
    for (const AisField& field : message.Fields) {
        add(field);
        if (field.Name == "mmsi")
            out += ",\"scaled\":true";
    }
    for (const AisField& field : extras)
        add(field);
    return out + "}";
}

}  // namespace kelvane
