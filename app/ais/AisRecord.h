// The contents of one decoded AIS message (ITU-R M.1371): a few typed members
// for a vessel list and every decoded field by the names gpsd's AIS JSON
// gives them, so that the same words mean the same thing in both tools.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kelvane {

// A real number and the decimals it is printed with.
struct AisReal {
    double Value = 0;
    int Decimals = 1;
};

using AisValue = std::variant<int64_t, AisReal, std::string, bool>;

struct AisField {
    std::string Name;
    AisValue Value;
};

struct AisRecord {
    int Type = 0;
    int Repeat = 0;
    uint32_t Mmsi = 0;
    // The message ended before all of its type's fields: those whose bits
    // are all there are decoded, the rest are absent.
    bool Truncated = false;

    // What a vessel list shows. Absent where the message does not carry it
    // or says it is not available; values out of range count as not
    // available too.
    std::optional<int> Status;         // navigational status, 0..14
    std::optional<double> Turn;        // degrees per minute, + to starboard
    int FastTurn = 0;                  // +1 / -1: more than 5° in 30 s, no rate
    std::optional<double> Speed;       // knots over ground
    std::optional<double> Lon;         // degrees, east +
    std::optional<double> Lat;         // degrees, north +
    std::optional<double> Course;      // degrees over ground
    std::optional<int> Heading;        // degrees true
    std::optional<int> Second;         // UTC second of the report, 0..59
    std::optional<int> Altitude;       // metres (SAR aircraft); 4094: or higher
    std::optional<std::string> Name;   // vessel or aid to navigation
    std::optional<std::string> Callsign;
    std::optional<std::string> Destination;
    std::optional<int> ShipType;       // 1..255
    std::optional<int> AidType;        // 1..31
    std::optional<uint32_t> Imo;
    std::optional<int> ToBow;          // metres from the reference point
    std::optional<int> ToStern;
    std::optional<int> ToPort;
    std::optional<int> ToStarboard;
    std::optional<double> Draught;     // metres
    std::optional<int> PartNumber;     // message 24: 0 part A, 1 part B

    // Every decoded field in order, by gpsd's names and with its value
    // conventions, starting with type, repeat and mmsi.
    std::vector<AisField> Fields;

    // The field of that name, or null.
    const AisValue* Find(const std::string& name) const
    {
        for (const AisField& field : Fields)
            if (field.Name == name)
                return &field.Value;
        return nullptr;
    }
};

}  // namespace kelvane
