// What the vessel window shows of each vessel, whatever the toolkit: the
// columns' texts and sort keys, a row's details, the filter, and the range
// plot's geometry (north up, nautical miles around a centre).
#pragma once

#include "ais/VesselTable.h"

#include <optional>
#include <string>
#include <utility>

namespace kelvane {

enum class VesselColumn : int {
    Mmsi, Name, Callsign, Type, Lat, Lon, Speed, Course, Heading, Distance, Bearing,
    Messages, LastHeard, Channels, Level, Count
};

const char* ColumnTitle(VesselColumn column);
// Names, call signs and types read from the left; numbers from the right.
bool LeftAligned(VesselColumn column);

// A cell's text (UTF-8), "" where the vessel has no value; now and the
// vessel's LastHeard on the same clock, in seconds.
std::string CellText(const Vessel& v, VesselColumn column, const std::optional<Position>& station, double now);

// How a cell sorts: numbers by value, texts without regard to case; a cell
// without a value after all that have one, in either direction of sorting
// from the top.
struct SortKey {
    bool IsText = false;
    double Number = 0;
    std::string Text;
    bool operator<(const SortKey& other) const
    {
        return IsText || other.IsText ? Text < other.Text : Number < other.Number;
    }
};
SortKey CellSortKey(const Vessel& v, VesselColumn column, const std::optional<Position>& station, double now);

// Whether any cell of the row holds the filter text, without regard to case.
bool RowMatches(const Vessel& v, const std::string& filter, const std::optional<Position>& station, double now);

// Every field of the vessel's messages, then its last sentences.
std::string VesselDetails(const Vessel& v);

// The station's position from the two boxes (degrees, north and east
// positive): a position, none (both empty), or a text that is not one.
struct StationText {
    std::optional<Position> At;
    bool Invalid = false;
};
StationText ReadStation(const std::string& latitude, const std::string& longitude);

// --- The range plot -----------------------------------------------------------

// Where the plot is centred: the station, or without one the vessels'
// centroid; none before a position was heard.
std::optional<Position> PlotCentre(const VesselTable& table, const std::optional<Position>& station);
// East and north of the centre in nautical miles, on a local plane: good
// enough at the ranges a receiver hears.
std::pair<double, double> PlotOffset(const Position& centre, const Position& p);
// The plot's range: 1, 2 or 5 times a power of ten, at least the distance
// of the farthest vessel with a margin.
double PlotRange(const VesselTable& table, const Position& centre);
// How strongly a mark is drawn, 0.15 to 1, fading over a quarter of an hour.
double MarkStrength(const Vessel& v, double now);
// The way a mark's line points, degrees: the heading, else the course of a
// vessel under way.
std::optional<double> MarkDirection(const Vessel& v);
// A range ring's label: "2.5 nm".
std::string RingLabel(double nm);

}  // namespace kelvane
