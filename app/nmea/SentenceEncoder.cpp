#include "nmea/SentenceEncoder.h"

#include <algorithm>

namespace kelvane {

int32_t GetBitField(std::span<const int32_t> messageBits, int32_t start, int32_t length)
{
    const auto last = static_cast<int32_t>(messageBits.size()) - 1;
    int32_t value = 0;
    for (int32_t i = 0; i < length; ++i) {
        const int32_t index = start + i;
        const int32_t bit = index >= 1 && index <= last ? messageBits[static_cast<size_t>(index)] : 0;
        value = value * 2 + (bit != 0 ? 1 : 0);
    }
    return value;
}

char SixBitChar(int32_t value)
{
    int32_t code = value + 48;
    if (code >= 88)
        code += 8;
    return static_cast<char>(code);
}

std::string HexByte(int32_t value)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    return {Digits[(value >> 4) & 0xF], Digits[value & 0xF]};
}

std::string SentenceChecksum(std::string_view sentence)
{
    int32_t sum = 0;
    for (size_t i = 1; i < sentence.size() && sentence[i] != '*'; ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    return HexByte(sum);
}

std::string SentenceEncoder::EncodeSentences(std::span<const int32_t> messageBits,
                                             RadioChannel channel)
{
    const int32_t n = messageBits.empty() ? 0 : static_cast<int32_t>(messageBits.size()) - 1;
    const int32_t sentences = (n + BitsPerSentence - 1) / BitsPerSentence;
    const std::string identifier = sentences > 1 ? std::to_string(SequenceId) : std::string();
    const std::string channelField =
        channel == RadioChannel::Unknown ? std::string() : std::string(1, static_cast<char>(channel));

    std::string block;
    int32_t fragment = 1;
    for (int32_t first = 1; first <= n; first += BitsPerSentence, ++fragment) {
        std::string sentence = "!AIVDM," + std::to_string(sentences) + "," +
                               std::to_string(fragment) + "," + identifier + "," + channelField + ",";
        const int32_t last = std::min(first + BitsPerSentence - 1, n);
        int32_t fillBits = 0;
        for (int32_t group = first; group <= last; group += 6) {
            if (last - group >= 5) {
                sentence += SixBitChar(GetBitField(messageBits, group, 6));
            } else {
                // The last, shorter group: its bits lead, fill bits of 0
                // make up the character.
                const int32_t bits = last - group + 1;
                fillBits = 6 - bits;
                sentence += SixBitChar(GetBitField(messageBits, group, bits) << fillBits);
            }
        }
        sentence += "," + std::to_string(fillBits) + "*";
        sentence += SentenceChecksum(sentence) + "\r\n";
        block += sentence;
    }
    if (sentences > 1)
        SequenceId = SequenceId == 9 ? 0 : SequenceId + 1;
    return block;
}

void SentenceEncoder::BuildSentences(std::span<const int32_t> messageBits, const MessageOrigin& origin)
{
    const int32_t messageId = GetBitField(messageBits, 1, 6);
    const std::string block = EncodeSentences(messageBits, origin.Channel);
    Counters.AddMessage(messageId);
    if (!block.empty())
        Sink.DeliverMessage(block, messageBits, origin);
}

}  // namespace kelvane
