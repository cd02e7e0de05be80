// A decoded AIS message as one line of JSON (RFC 8259) with gpsd's AIS
// field names and value conventions, as `gpsdecode -j` writes them, so that
// scripts written for gpsd's output read it.
#pragma once

#include "ais/AisRecord.h"

#include <span>
#include <string>
#include <string_view>

namespace kelvane {

// {"class":"AIS", the message's fields with "scaled":true after the mmsi,
// then the extras the program adds (channel, signal_db, snr_db, ...)}, on one
// line without its end. An extra whose name the object already has is left
// out, so that every name appears once. A real that is not finite is
// written "nan", as gpsd writes values it does not have.
std::string AisToJson(const AisRecord& message, std::span<const AisField> extras = {});

// The text as a JSON string: quoted, with quotes, backslashes and control
// characters escaped, and bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace kelvane
