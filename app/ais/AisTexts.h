// Words for the coded fields of ITU-R M.1371 messages: navigational status,
// type of ship and cargo, electronic position-fixing device, type of aid to
// navigation. The long texts are gpsd's words where M.1371 agrees with them.
#pragma once

#include <string>

namespace kelvane {

std::string NavigationStatusText(int status);

// The full text of a ship and cargo type, as in a JSON shiptype_text.
std::string ShipTypeText(int shipType);

// One or two words for a vessel list column: "Cargo", "Tanker", "Passenger",
// "Fishing", "Sailing", "Pleasure Craft", ...
std::string ShipCategoryText(int shipType);

std::string EpfdText(int epfd);

std::string AidTypeText(int aidType);

}  // namespace kelvane
