// A decoded AIS message as JSON (RFC 8259) with gpsd's AIS field names and
// value conventions, as `gpsdecode -j` writes them, so that scripts written
// for gpsd's output read it. kelvane-decode's --json and the web view's API
// write the same objects.
#pragma once

#include "ais/AisRecord.h"

#include <nlohmann/json.hpp>

#include <span>
#include <string>
#include <string_view>

namespace kelvane {

// Members in the order they were added, as gpsd writes them.
using Json = nlohmann::ordered_json;

// {"class":"AIS", the message's fields with "scaled":true after the mmsi,
// then the extras the program adds (channel, signal_db, snr_db, ...)}. An
// extra whose name the object already has is left out, so that every name
// appears once.
Json AisJsonObject(const AisRecord& message, std::span<const AisField> extras = {});

// One value: a real with its decimals (one that is not finite as "nan", as
// gpsd writes values it does not have), an integer, a text or a flag.
Json AisJsonValue(const AisValue& value);

// The value on one line without its end: quotes, backslashes and control
// characters escaped, bytes that are not UTF-8 replaced by U+FFFD, so that
// whatever a ship sends stays one valid line.
std::string DumpJson(const Json& value);

// AisJsonObject on one line.
std::string AisToJson(const AisRecord& message, std::span<const AisField> extras = {});

// The text as a JSON string.
std::string JsonString(std::string_view text);

}  // namespace kelvane
