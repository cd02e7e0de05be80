#include "ais/VesselTable.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvane {

namespace {

constexpr double EarthRadiusNm = 3440.065;  // mean radius, 6371 km

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

// A newer value replaces the kept one; a message that does not carry it
// leaves it.
template <typename T>
void Take(std::optional<T>& kept, const std::optional<T>& heard)
{
    if (heard)
        kept = heard;
}

}  // namespace

double DistanceNm(const Position& from, const Position& to)
{
    // Haversine: well conditioned at the short distances a receiver hears.
    const double dLat = Radians(to.Lat - from.Lat);
    const double dLon = Radians(to.Lon - from.Lon);
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(Radians(from.Lat)) * std::cos(Radians(to.Lat)) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * EarthRadiusNm * std::asin(std::min(1.0, std::sqrt(a)));
}

double BearingDeg(const Position& from, const Position& to)
{
    const double y = std::sin(Radians(to.Lon - from.Lon)) * std::cos(Radians(to.Lat));
    const double x = std::cos(Radians(from.Lat)) * std::sin(Radians(to.Lat)) -
                     std::sin(Radians(from.Lat)) * std::cos(Radians(to.Lat)) * std::cos(Radians(to.Lon - from.Lon));
    const double bearing = std::atan2(y, x) * 180 / std::numbers::pi;
    return bearing < 0 ? bearing + 360 : bearing;
}

size_t VesselTable::Heard(const AisRecord& message, std::string_view sentences, char channel,
                          double levelDb, double snrDb, double now)
{
    auto [found, made] = ByMmsi.try_emplace(message.Mmsi, Vessels.size());
    if (made) {
        Vessels.emplace_back();
        Vessels.back().Mmsi = message.Mmsi;
    }
    Vessel& v = Vessels[found->second];
    // A position only with both halves of it, and neither out of range.
    if (message.Lat && message.Lon) {
        v.Lat = message.Lat;
        v.Lon = message.Lon;
    }
    Take(v.Name, message.Name);
    Take(v.Callsign, message.Callsign);
    Take(v.ShipType, message.ShipType);
    Take(v.Destination, message.Destination);
    Take(v.Speed, message.Speed);
    Take(v.Course, message.Course);
    Take(v.Heading, message.Heading);
    Take(v.Status, message.Status);
    for (const AisField& field : message.Fields) {
        const auto same = std::find_if(v.Fields.begin(), v.Fields.end(),
                                       [&](const AisField& kept) { return kept.Name == field.Name; });
        if (same == v.Fields.end())
            v.Fields.push_back(field);
        else
            same->Value = field.Value;
    }
    if (message.Type == 4 || message.Type == 11 || message.Type == 9 || message.Type == 21)
        v.StationKind = message.Type == 11 ? 4 : message.Type;
    ++v.Messages;
    v.LastHeard = now;
    v.HeardOnA = v.HeardOnA || channel == 'A';
    v.HeardOnB = v.HeardOnB || channel == 'B';
    if (!std::isnan(levelDb)) {
        v.LevelDb = levelDb;
        v.SnrDb = snrDb;
    }
    v.Sentences.emplace_back(sentences);
    if (v.Sentences.size() > KeptSentences)
        v.Sentences.pop_front();
    return found->second;
}

void VesselTable::Clear()
{
    Vessels.clear();
    ByMmsi.clear();
}

size_t VesselTable::ForgetHeardBefore(double time)
{
    const size_t before = Vessels.size();
    std::erase_if(Vessels, [time](const Vessel& v) { return v.LastHeard < time; });
    if (Vessels.size() != before) {
        ByMmsi.clear();
        for (size_t i = 0; i < Vessels.size(); ++i)
            ByMmsi.emplace(Vessels[i].Mmsi, i);
    }
    return before - Vessels.size();
}

std::optional<size_t> VesselTable::Find(uint32_t mmsi) const
{
    const auto found = ByMmsi.find(mmsi);
    return found == ByMmsi.end() ? std::nullopt : std::optional<size_t>(found->second);
}

}  // namespace kelvane
