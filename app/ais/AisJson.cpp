#include "ais/AisJson.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kelvane {

Json AisJsonValue(const AisValue& value)
{
    if (const auto* integer = std::get_if<int64_t>(&value))
        return *integer;
    if (const auto* real = std::get_if<AisReal>(&value)) {
        if (!std::isfinite(real->Value))
            return "nan";
        const int decimals = std::clamp(real->Decimals, 0, 17);
        // Rounded to its decimals as printf rounds them (-12.25 to -12.2),
        // then written in the fewest digits that read back the same.
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, real->Value);
        if (decimals == 0)
            return std::strtoll(text, nullptr, 10);
        return std::strtod(text, nullptr);
    }
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    return std::get<bool>(value);
}

Json AisJsonObject(const AisRecord& message, std::span<const AisField> extras)
{
    Json out = Json::object();
    out["class"] = "AIS";
    auto add = [&](const AisField& field) {
        if (field.Name == "scaled" || out.contains(field.Name))
            return;
        out[field.Name] = AisJsonValue(field.Value);
    };
    for (const AisField& field : message.Fields) {
        add(field);
        if (field.Name == "mmsi")
            out["scaled"] = true;
    }
    for (const AisField& field : extras)
        add(field);
    return out;
}

std::string DumpJson(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string AisToJson(const AisRecord& message, std::span<const AisField> extras)
{
    return DumpJson(AisJsonObject(message, extras));
}

std::string JsonString(std::string_view text) { return DumpJson(Json(std::string(text))); }

}  // namespace kelvane
