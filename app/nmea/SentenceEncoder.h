// AIS messages as NMEA !AIVDM sentences: IEC 61162-1 encapsulation with the
// 6-bit payload armouring of ITU-R M.1371.
#pragma once

#include "core/RadioChannel.h"
#include "core/ReceiveCounters.h"
#include "nmea/SentenceSink.h"

#include <cstdint>
#include <span>
#include <string>

namespace kelvane {

// Message bits carried by one sentence: 61 characters of 6 bits.
inline constexpr int32_t BitsPerSentence = 366;

// MessageBits: element 0 carries nothing; elements 1..N are the message's
// bits (0 or 1) in transmission order.

// The unsigned value of bits start..start+length-1, the first most
// significant; bits past the end count as 0.
int32_t GetBitField(std::span<const int32_t> messageBits, int32_t start, int32_t length);

// The armouring character of a 6-bit value: 0..39 are '0'..'W', 40..63 are
// '`'..'w'.
char SixBitChar(int32_t value);

// Two upper-case hexadecimal digits.
std::string HexByte(int32_t value);

// XOR of the characters after the first, up to the first '*' or the end.
std::string SentenceChecksum(std::string_view sentence);

class SentenceEncoder {
public:
    SentenceEncoder(ReceiveCounters& counters, SentenceSink& sink)
        : Counters(counters), Sink(sink)
    {
    }

    // All sentences of one message; advances SequenceId for a message of
    // more than one sentence. Empty for a message without bits. The channel
    // fills field 5; an unknown one leaves it empty.
    std::string EncodeSentences(std::span<const int32_t> messageBits,
                                RadioChannel channel = RadioChannel::Unknown);

    // Encodes, counts the message under its type and hands the block on
    // with the message and its origin. A message without bits is counted but
    // sends nothing.
    void BuildSentences(std::span<const int32_t> messageBits, const MessageOrigin& origin = {});

    // The sequential message identifier of the next multi-sentence message,
    // 0 to 9; it lives as long as the program and is never reset. Both
    // channels draw on it, so that two messages in flight never share one.
    int32_t SequenceId = 0;

private:
    ReceiveCounters& Counters;
    SentenceSink& Sink;
};

}  // namespace kelvane
