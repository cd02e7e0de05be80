#include "window/VesselRows.h"

#include "ais/AisJson.h"
#include "ais/AisTexts.h"
#include "core/TextFields.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace kelvane {

namespace {

constexpr double Missing = std::numeric_limits<double>::infinity();  // sorts last
constexpr const char* DegreeSign = "\u00B0";

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Degrees(double value, int decimals, char positive, char negative)
{
    return Fixed(std::abs(value), decimals) + DegreeSign + " " + (value >= 0 ? positive : negative);
}

std::string Age(double seconds)
{
    const auto s = static_cast<long long>(std::max(0.0, seconds));
    if (s < 60)
        return std::to_string(s) + " s";
    if (s < 3600)
        return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

// What a row is when its messages give no ship type.
std::string KindOf(const Vessel& v)
{
    if (v.ShipType)
        return ShipCategoryText(*v.ShipType);
    switch (v.StationKind) {
    case 4: return "Base station";
    case 9: return "SAR aircraft";
    case 21: return "Aid to navigation";
    default: return {};
    }
}

std::string FieldText(const AisValue& value)
{
    if (const auto* i = std::get_if<int64_t>(&value))
        return std::to_string(*i);
    if (const auto* r = std::get_if<AisReal>(&value))
        return Fixed(r->Value, r->Decimals);
    if (const auto* b = std::get_if<bool>(&value))
        return *b ? "true" : "false";
    return std::get<std::string>(value);
}

std::optional<Position> Where(const Vessel& v)
{
    if (!v.Lat || !v.Lon)
        return std::nullopt;
    return Position{*v.Lat, *v.Lon};
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<double> ReadNumber(const std::string& text)
{
    const std::string t = TrimSpaces(text);
    double value = 0;
    const char* first = t.data() + (!t.empty() && t[0] == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(first, t.data() + t.size(), value);
    if (t.empty() || error != std::errc() || end != t.data() + t.size())
        return std::nullopt;
    return value;
}

}  // namespace

const char* ColumnTitle(VesselColumn column)
{
    static const char* const Titles[] = {"MMSI",    "Name",     "Call sign",  "Type",     "Latitude",
                                         "Longitude", "Speed",  "Course",     "Heading",  "Distance",
                                         "Bearing", "Messages", "Last heard", "Channels", "Level"};
    const auto i = static_cast<size_t>(column);
    return i < std::size(Titles) ? Titles[i] : "";
}

bool LeftAligned(VesselColumn column)
{
    return column == VesselColumn::Name || column == VesselColumn::Callsign || column == VesselColumn::Type;
}

std::string CellText(const Vessel& v, VesselColumn column, const std::optional<Position>& station, double now)
{
    const std::optional<Position> at = Where(v);
    switch (column) {
    case VesselColumn::Mmsi: {
        char text[16];
        std::snprintf(text, sizeof text, "%09u", static_cast<unsigned>(v.Mmsi));
        return text;
    }
    case VesselColumn::Name: return v.Name.value_or("");
    case VesselColumn::Callsign: return v.Callsign.value_or("");
    case VesselColumn::Type: return KindOf(v);
    case VesselColumn::Lat: return at ? Degrees(at->Lat, 4, 'N', 'S') : "";
    case VesselColumn::Lon: return at ? Degrees(at->Lon, 4, 'E', 'W') : "";
    case VesselColumn::Speed: return v.Speed ? Fixed(*v.Speed, 1) + " kn" : "";
    case VesselColumn::Course: return v.Course ? Fixed(*v.Course, 1) + DegreeSign : "";
    case VesselColumn::Heading: return v.Heading ? std::to_string(*v.Heading) + DegreeSign : "";
    case VesselColumn::Distance: return at && station ? Fixed(DistanceNm(*station, *at), 1) + " nm" : "";
    case VesselColumn::Bearing: {
        if (!at || !station)
            return "";
        char text[16];
        std::snprintf(text, sizeof text, "%03ld", std::lround(BearingDeg(*station, *at)) % 360);
        return text + std::string(DegreeSign);
    }
    case VesselColumn::Messages: return std::to_string(v.Messages);
    case VesselColumn::LastHeard: return Age(now - v.LastHeard);
    case VesselColumn::Channels:
        return std::string(v.HeardOnA ? "A" : "") + (v.HeardOnA && v.HeardOnB ? " " : "") + (v.HeardOnB ? "B" : "");
    case VesselColumn::Level:
        if (std::isnan(v.LevelDb))
            return "";
        return Fixed(v.LevelDb, 1) + " dB" + (std::isnan(v.SnrDb) ? "" : ", SNR " + Fixed(v.SnrDb, 0) + " dB");
    case VesselColumn::Count: break;
    }
    return {};
}

SortKey CellSortKey(const Vessel& v, VesselColumn column, const std::optional<Position>& station, double now)
{
    const std::optional<Position> at = Where(v);
    auto number = [](const auto& value) { return value ? static_cast<double>(*value) : Missing; };
    auto key = [](double n) { return SortKey{false, n, {}}; };
    switch (column) {
    case VesselColumn::Mmsi: return key(static_cast<double>(v.Mmsi));
    case VesselColumn::Lat: return key(at ? at->Lat : Missing);
    case VesselColumn::Lon: return key(at ? at->Lon : Missing);
    case VesselColumn::Speed: return key(number(v.Speed));
    case VesselColumn::Course: return key(number(v.Course));
    case VesselColumn::Heading: return key(number(v.Heading));
    case VesselColumn::Distance: return key(at && station ? DistanceNm(*station, *at) : Missing);
    case VesselColumn::Bearing: return key(at && station ? BearingDeg(*station, *at) : Missing);
    case VesselColumn::Messages: return key(static_cast<double>(v.Messages));
    case VesselColumn::LastHeard: return key(now - v.LastHeard);  // the youngest first
    case VesselColumn::Level: return key(std::isnan(v.LevelDb) ? -Missing : v.LevelDb);
    default: {
        // Texts by themselves; a row without one after all that have it.
        const std::string text = CellText(v, column, station, now);
        return {true, 0, text.empty() ? std::string("\xEF\xBF\xBF") : Lower(text)};
    }
    }
}

bool RowMatches(const Vessel& v, const std::string& filter, const std::optional<Position>& station, double now)
{
    if (filter.empty())
        return true;
    const std::string wanted = Lower(filter);
    for (int c = 0; c < static_cast<int>(VesselColumn::Count); ++c)
        if (Lower(CellText(v, static_cast<VesselColumn>(c), station, now)).find(wanted) != std::string::npos)
            return true;
    return false;
}

std::string VesselDetails(const Vessel& v)
{
    std::string text;
    for (const AisField& field : v.Fields)
        text += field.Name + ": " + FieldText(field.Value) + "\n";
    text += "\nLast sentences:\n";
    for (const std::string& block : v.Sentences)
        text += block;
    return text;
}

StationText ReadStation(const std::string& latitude, const std::string& longitude)
{
    if (TrimSpaces(latitude).empty() && TrimSpaces(longitude).empty())
        return {};
    const std::optional<double> lat = ReadNumber(latitude);
    const std::optional<double> lon = ReadNumber(longitude);
    if (lat && lon && std::abs(*lat) <= 90 && std::abs(*lon) <= 180)
        return {Position{*lat, *lon}, false};
    return {std::nullopt, true};
}

std::optional<Position> PlotCentre(const VesselTable& table, const std::optional<Position>& station)
{
    if (station)
        return station;
    double lat = 0, lon = 0;
    int n = 0;
    for (const Vessel& v : table.Rows()) {
        if (v.Lat && v.Lon) {
            lat += *v.Lat;
            lon += *v.Lon;
            ++n;
        }
    }
    if (n == 0)
        return std::nullopt;
    return Position{lat / n, lon / n};
}

std::pair<double, double> PlotOffset(const Position& centre, const Position& p)
{
    const double east = (p.Lon - centre.Lon) * 60 * std::cos(centre.Lat * std::numbers::pi / 180);
    const double north = (p.Lat - centre.Lat) * 60;
    return {east, north};
}

double PlotRange(const VesselTable& table, const Position& centre)
{
    double farthest = 0;
    for (const Vessel& v : table.Rows()) {
        if (v.Lat && v.Lon) {
            const auto [east, north] = PlotOffset(centre, {*v.Lat, *v.Lon});
            farthest = std::max(farthest, std::hypot(east, north));
        }
    }
    // 1, 2 or 5 times a power of ten, at least the distance.
    const double nm = farthest * 1.05;
    double step = 0.5;
    for (int i = 0; step < nm && i < 30; ++i)
        step *= (i % 3 == 2) ? 2.5 : 2;
    return step;
}

double MarkStrength(const Vessel& v, double now) { return std::clamp(1.0 - (now - v.LastHeard) / 900.0, 0.15, 1.0); }

std::optional<double> MarkDirection(const Vessel& v)
{
    if (v.Heading)
        return static_cast<double>(*v.Heading);
    return v.Speed && *v.Speed > 0.5 ? v.Course : std::nullopt;
}

std::string RingLabel(double nm)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3g nm", nm);
    return text;
}

}  // namespace kelvane
