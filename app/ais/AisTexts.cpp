#include "ais/AisTexts.h"

#include <array>

namespace kelvane {

namespace {

template <size_t N>
std::string Pick(const std::array<const char*, N>& texts, int code, const char* otherwise)
{
    return code >= 0 && static_cast<size_t>(code) < N ? texts[static_cast<size_t>(code)] : otherwise;
}

// The hazard and spare columns shared by the WIG, HSC, passenger, cargo,
// tanker and other rows of the ship type table.
std::string ShipTypeRow(const char* kind, int column, const char* noInformation)
{
    static constexpr std::array<const char*, 10> Columns = {
        " - all ships of this type", " - Hazardous category A", " - Hazardous category B",
        " - Hazardous category C",  " - Hazardous category D", " - Reserved for future use",
        " - Reserved for future use", " - Reserved for future use", " - Reserved for future use",
        nullptr};
    return std::string(kind) + (column == 9 ? noInformation : Columns[static_cast<size_t>(column)]);
}

}  // namespace

std::string NavigationStatusText(int status)
{
    // gpsd calls 11, 12 and 14 "Reserved"; the later revisions of M.1371
    // gave them the meanings below.
    static constexpr std::array<const char*, 16> Texts = {
        "Under way using engine", "At anchor", "Not under command", "Restricted manoeuverability",
        "Constrained by her draught", "Moored", "Aground", "Engaged in fishing",
        "Under way sailing", "Reserved for HSC", "Reserved for WIG",
        "Power-driven vessel towing astern", "Power-driven vessel pushing ahead or towing alongside",
        "Reserved", "AIS-SART is active", "Not defined"};
    return Pick(Texts, status, "Not defined");
}

std::string ShipTypeText(int shipType)
{
    if (shipType <= 0 || shipType > 255)
        return "Not available";
    if (shipType < 20)
        return "Reserved for future use";
    // gpsd calls 100..255 invalid; M.1371 reserves them.
    if (shipType >= 200)
        return "Reserved for future use";
    if (shipType >= 100)
        return "Reserved for regional use";
    const int column = shipType % 10;
    switch (shipType / 10) {
    case 2:
        return column < 6 ? ShipTypeRow("Wing in ground (WIG)", column, "")
                          : "Wing in ground (WIG) - Reserved for future use";
    case 3: {
        static constexpr std::array<const char*, 10> Texts = {
            "Fishing", "Towing", "Towing: length exceeds 200m or breadth exceeds 25m",
            "Dredging or underwater ops", "Diving ops", "Military ops", "Sailing", "Pleasure Craft",
            "Reserved", "Reserved"};
        return Texts[static_cast<size_t>(column)];
    }
    case 4:
        return ShipTypeRow("High speed craft (HSC)", column, " - No additional information");
    case 5: {
        static constexpr std::array<const char*, 10> Texts = {
            "Pilot Vessel", "Search and Rescue vessel", "Tug", "Port Tender",
            "Anti-pollution equipment", "Law Enforcement", "Spare - Local Vessel",
            "Spare - Local Vessel", "Medical Transport", "Ship according to RR Resolution No. 18"};
        return Texts[static_cast<size_t>(column)];
    }
    case 6:
        return ShipTypeRow("Passenger", column, " - No additional information");
    case 7:
        return ShipTypeRow("Cargo", column, " - No additional information");
    case 8:
        return ShipTypeRow("Tanker", column, " - No additional information");
    default:
        return ShipTypeRow("Other Type", column, " - no additional information");
    }
}

std::string ShipCategoryText(int shipType)
{
    if (shipType <= 0 || shipType > 255)
        return "Not available";
    if (shipType >= 100)
        return shipType < 200 ? "Regional" : "Reserved";
    switch (shipType / 10) {
    case 2:
        return "Wing in ground";
    case 3: {
        static constexpr std::array<const char*, 10> Texts = {
            "Fishing", "Towing", "Towing", "Dredging", "Diving",
            "Military", "Sailing", "Pleasure Craft", "Reserved", "Reserved"};
        return Texts[static_cast<size_t>(shipType % 10)];
    }
    case 4:
        return "High speed craft";
    case 5: {
        static constexpr std::array<const char*, 10> Texts = {
            "Pilot", "Search and rescue", "Tug", "Port tender", "Anti-pollution",
            "Law enforcement", "Local vessel", "Local vessel", "Medical transport", "Noncombatant"};
        return Texts[static_cast<size_t>(shipType % 10)];
    }
    case 6:
        return "Passenger";
    case 7:
        return "Cargo";
    case 8:
        return "Tanker";
    case 9:
        return "Other";
    default:
        return "Reserved";
    }
}

std::string EpfdText(int epfd)
{
    // gpsd knows no 15; M.1371 made it the internal GNSS receiver.
    static constexpr std::array<const char*, 16> Texts = {
        "Undefined", "GPS", "GLONASS", "Combined GPS/GLONASS", "Loran-C", "Chayka",
        "Integrated navigation system", "Surveyed", "Galileo", "INVALID EPFD", "INVALID EPFD",
        "INVALID EPFD", "INVALID EPFD", "INVALID EPFD", "INVALID EPFD", "Internal GNSS"};
    return Pick(Texts, epfd, "INVALID EPFD");
}

std::string AidTypeText(int aidType)
{
    static constexpr std::array<const char*, 32> Texts = {
        "Unspecified", "Reference point", "RACON", "Fixed offshore structure",
        "Spare, Reserved for future use.", "Light, without sectors", "Light, with sectors",
        "Leading Light Front", "Leading Light Rear", "Beacon, Cardinal N", "Beacon, Cardinal E",
        "Beacon, Cardinal S", "Beacon, Cardinal W", "Beacon, Port hand", "Beacon, Starboard hand",
        "Beacon, Preferred Channel port hand", "Beacon, Preferred Channel starboard hand",
        "Beacon, Isolated danger", "Beacon, Safe water", "Beacon, Special mark", "Cardinal Mark N",
        "Cardinal Mark E", "Cardinal Mark S", "Cardinal Mark W", "Port hand Mark",
        "Starboard hand Mark", "Preferred Channel Port hand", "Preferred Channel Starboard hand",
        "Isolated danger", "Safe Water", "Special Mark", "Light Vessel / LANBY / Rigs"};
    return Pick(Texts, aidType, "Unspecified");
}

}  // namespace kelvane
