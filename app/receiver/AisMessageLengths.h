// The lengths a message of each type may have, from the message definitions
// of ITU-R M.1371. A frame is whole octets: its payload is the message's bits
// rounded up to octets.
#pragma once

#include <array>
#include <cstdint>

namespace kelvane {

struct MessageLength {
    int32_t MinBits = 0;  // 0: no such message type
    int32_t MaxBits = 0;
};

inline constexpr std::array<MessageLength, 64> MessageLengths = [] {
    std::array<MessageLength, 64> table{};
    auto set = [&](int type, int32_t minBits, int32_t maxBits) { table[type] = {minBits, maxBits}; };
    set(1, 168, 168);   // position report, class A
    set(2, 168, 168);
    set(3, 168, 168);
    set(4, 168, 168);   // base station report
    set(5, 424, 424);   // static and voyage data
    set(6, 88, 1008);   // binary addressed
    set(7, 72, 168);    // binary acknowledge
    set(8, 56, 1008);   // binary broadcast
    set(9, 168, 168);   // SAR aircraft position
    set(10, 72, 72);    // UTC and date inquiry
    set(11, 168, 168);  // UTC and date response
    set(12, 72, 1008);  // addressed safety message
    set(13, 72, 168);   // safety acknowledge
    set(14, 40, 1008);  // safety broadcast
    set(15, 88, 160);   // interrogation
    set(16, 96, 144);   // assignment mode command
    set(17, 80, 816);   // DGNSS broadcast
    set(18, 168, 168);  // position report, class B
    set(19, 312, 312);  // extended class B report
    set(20, 72, 160);   // data link management
    set(21, 272, 360);  // aid to navigation report
    set(22, 168, 168);  // channel management
    set(23, 160, 160);  // group assignment
    set(24, 160, 168);  // static data report, part A or B
    set(25, 40, 168);   // single slot binary
    set(26, 60, 1064);  // multiple slot binary
    set(27, 96, 96);    // long-range position report
    return table;
}();

// Whether a frame of payloadOctets octets (its FCS not counted) can carry a
// message of the type.
inline bool ValidPayloadLength(int32_t messageType, int32_t payloadOctets)
{
    if (messageType < 0 || messageType > 63)
        return false;
    const MessageLength& length = MessageLengths[static_cast<size_t>(messageType)];
    return length.MaxBits > 0 && payloadOctets >= (length.MinBits + 7) / 8 &&
           payloadOctets <= (length.MaxBits + 7) / 8;
}

}  // namespace kelvane
