// Who was heard: one row per MMSI, with what its messages said last (name,
// call sign, type, position, motion), how often and how recently it was
// heard, on which channels and how strongly, and its last sentences. Plain
// C++; the vessel window shows it.
#pragma once

#include "ais/AisRecord.h"

#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvane {

struct Vessel {
    uint32_t Mmsi = 0;
    std::optional<std::string> Name;
    std::optional<std::string> Callsign;
    std::optional<int> ShipType;
    std::optional<std::string> Destination;
    std::optional<double> Lat;
    std::optional<double> Lon;
    std::optional<double> Speed;
    std::optional<double> Course;
    std::optional<int> Heading;
    std::optional<int> Status;
    // 4 (base station), 9 (SAR aircraft) or 21 (aid to navigation) when a
    // message of that type came from it; else 0.
    int StationKind = 0;
    int64_t Messages = 0;
    double LastHeard = 0;  // seconds on the table's clock
    bool HeardOnA = false;
    bool HeardOnB = false;
    double LevelDb = std::numeric_limits<double>::quiet_NaN();
    double SnrDb = std::numeric_limits<double>::quiet_NaN();
    // Every field its messages gave, the latest value of each name, in the
    // order first heard; and its last sentence blocks, newest last.
    std::vector<AisField> Fields;
    std::deque<std::string> Sentences;
};

// A point on the earth, degrees.
struct Position {
    double Lat = 0;
    double Lon = 0;
};

// Great-circle distance in nautical miles and initial bearing in degrees
// true (0 to 360) from one point to another.
double DistanceNm(const Position& from, const Position& to);
double BearingDeg(const Position& from, const Position& to);

class VesselTable {
public:
    static constexpr size_t KeptSentences = 8;

    // A decoded message heard at time now (seconds): its sender's row,
    // made when new. Returns the row's index.
    size_t Heard(const AisRecord& message, std::string_view sentences, char channel, double levelDb,
                 double snrDb, double now);
    void Clear();
    // Drops the rows last heard before that time, keeping the others in
    // their order; returns how many went.
    size_t ForgetHeardBefore(double time);

    const std::vector<Vessel>& Rows() const { return Vessels; }
    std::optional<size_t> Find(uint32_t mmsi) const;

private:
    std::vector<Vessel> Vessels;
    std::unordered_map<uint32_t, size_t> ByMmsi;
};

}  // namespace kelvane
