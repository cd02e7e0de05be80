// AIS messages built field by field as the station hands them on
// (MessageBits: element 0 unused, then one 0/1 per bit), for tests that need
// a message with particular contents: a position, or a name with markup in it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kelvane::test {

class MessageBitWriter {
public:
    MessageBitWriter& U(int width, int64_t value)
    {
        for (int i = width - 1; i >= 0; --i)
            Bits.push_back(static_cast<int32_t>((value >> i) & 1));
        return *this;
    }
    // Six-bit text padded with '@'; the characters are AIS's (upper case,
    // digits, space and !"#$%&'()*+,-./:;<=>?).
    MessageBitWriter& Text(int chars, std::string_view text)
    {
        for (int i = 0; i < chars; ++i) {
            const int c = static_cast<size_t>(i) < text.size() ? text[static_cast<size_t>(i)] : '@';
            U(6, c >= 64 ? c - 64 : c);
        }
        return *this;
    }
    std::vector<int32_t> Bits{0};
};

// A class A position report (type 1): position in degrees, speed in knots,
// course and heading in degrees.
inline std::vector<int32_t> PositionReport(int64_t mmsi, double lat, double lon, double speed = 5,
                                           double course = 90, int heading = 90)
{
    return MessageBitWriter()
        .U(6, 1).U(2, 0).U(30, mmsi).U(4, 0).U(8, 0).U(10, static_cast<int64_t>(speed * 10)).U(1, 0)
        .U(28, static_cast<int64_t>(lon * 600000)).U(27, static_cast<int64_t>(lat * 600000))
        .U(12, static_cast<int64_t>(course * 10)).U(9, heading).U(6, 30).U(2, 0).U(3, 0).U(1, 0).U(19, 0)
        .Bits;
}

// Static and voyage data (type 5) with these texts.
inline std::vector<int32_t> StaticVoyage(int64_t mmsi, std::string_view name, std::string_view callsign,
                                         std::string_view destination, int shipType = 70)
{
    return MessageBitWriter()
        .U(6, 5).U(2, 0).U(30, mmsi).U(2, 0).U(30, 9123456).Text(7, callsign).Text(20, name)
        .U(8, shipType).U(9, 100).U(9, 20).U(6, 10).U(6, 10).U(4, 1).U(4, 6).U(5, 1).U(5, 12).U(6, 0)
        .U(8, 80).Text(20, destination).U(1, 0).U(1, 0)
        .Bits;
}

// An aid to navigation (type 21) at a position, its name the first 20
// characters and the extension the rest (up to 14 more).
inline std::vector<int32_t> AidToNavigation(int64_t mmsi, std::string_view name, double lat, double lon)
{
    const std::string_view first = name.substr(0, 20);
    const std::string_view rest = name.size() > 20 ? name.substr(20, 14) : std::string_view();
    MessageBitWriter w;
    w.U(6, 21).U(2, 0).U(30, mmsi).U(5, 1).Text(20, first).U(1, 0)
        .U(28, static_cast<int64_t>(lon * 600000)).U(27, static_cast<int64_t>(lat * 600000))
        .U(9, 0).U(9, 0).U(6, 0).U(6, 0).U(4, 1).U(6, 30).U(1, 0).U(8, 0).U(1, 0).U(1, 0).U(1, 0).U(1, 0)
        .Text(static_cast<int>(rest.size()), rest);
    // The extension ends on a whole octet.
    return w.U(static_cast<int>((8 - (w.Bits.size() - 1) % 8) % 8), 0).Bits;
}

// The message's octets, as a transmitter frames them (without the FCS).
inline std::vector<uint8_t> MessageOctets(std::span<const int32_t> messageBits)
{
    std::vector<uint8_t> octets((messageBits.size() - 1 + 7) / 8, 0);
    for (size_t i = 1; i < messageBits.size(); ++i)
        if (messageBits[i] != 0)
            octets[(i - 1) / 8] |= static_cast<uint8_t>(0x80 >> ((i - 1) % 8));
    return octets;
}

}  // namespace kelvane::test
