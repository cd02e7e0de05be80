// The HDLC receiver of every demodulator (framing of ISO/IEC 13239): NRZI-
// decoded bits in; flags found, stuffing removed and octets assembled, the
// first bit least significant; frame starts, frames, aborts and overlong
// frames reported as the bits that make them arrive. All inline: the burst
// decoder de-frames each of a burst's trial decisions with it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvane {

class HdlcReceiver {
public:
    // What a bit completed.
    enum class Event : uint8_t {
        None,
        // A flag opened a frame: one found while hunting, or one straight
        // after the opening flag, sharing its 0.
        FrameStart,
        // A flag closed the frame: Octets() and WholeOctets() tell it until
        // the next bit, and the same flag opens the next frame.
        Frame,
        // Seven 1s: the frame is dropped and the receiver hunts for a flag.
        Abort,
        // The frame passed its limit: dropped, and the receiver hunts.
        Overlong,
    };

    // How a frame ends.
    enum class Framing : uint8_t {
        // Bit by bit: a 0 after six 1s is a flag wherever it falls, a
        // seventh 1 aborts, and the length is checked as each 0 is taken
        // (1s come at most six at a time). A frame is overlong once it holds
        // more than maxOctets octets before its flag.
        Bitwise,
        // Octet by octet, the built-in demodulator's reading, on which its
        // counts rest: the frame ends at the first octet that reads as a
        // flag (0x7E) once six 1s have been seen in it, and is overlong when
        // an octet past maxOctets completes. Six 1s anywhere else, a flag
        // off the octet boundary or an abort, are taken as data, their count
        // starting again; such a frame reads on to its limit.
        Octetwise,
    };

    HdlcReceiver(Framing framing, int maxOctets)
        : Rule(framing), MaxOctets(maxOctets), BitLimit(8 * (maxOctets + 1))
    {
        Held.reserve(static_cast<size_t>(maxOctets) + 2);
    }

    // The caller found the opening flag itself: a frame begins with the
    // next bit. Until then the receiver hunts for a flag.
    void Start();
    // Takes the next bit, 0 or 1.
    Event Bit(int bit);

    // The frame's octets so far, or those of the frame just closed.
    std::span<const uint8_t> Octets() const { return Held; }
    // Whether the frame just closed was whole octets; a Bitwise flag off the
    // octet boundary leaves bits over, which Octets() leaves out.
    bool WholeOctets() const { return Whole; }
    // The data bits of the frame so far: its octets and the next one's.
    int Bits() const { return 8 * static_cast<int>(Held.size()) + Filled; }

private:
    enum class Phase : uint8_t { Hunting, Receiving, Closed };

    Event Hunt(int bit);
    Event Take(int bit);
    Event Octet();
    Event Close();
    Event Drop(Event why);

    static constexpr uint8_t FlagOctet = 0x7E;  // a flag's 0, six 1s and 0 read as an octet

    Framing Rule;
    int MaxOctets;
    int BitLimit;  // Bitwise: bits held, the flag's 0 among them, past MaxOctets
    Phase State = Phase::Hunting;
    int Ones = 0;          // 1s in a row
    bool Armed = false;    // Octetwise: six 1s seen in the frame
    uint8_t Value = 0;     // the octet being assembled
    int Filled = 0;        // and its bits
    bool Whole = false;
    std::vector<uint8_t> Held;
};

inline void HdlcReceiver::Start()
{
    State = Phase::Receiving;
    Ones = 0;
    Armed = false;
    Value = 0;
    Filled = 0;
    Whole = false;
    Held.clear();
}

inline HdlcReceiver::Event HdlcReceiver::Bit(int bit)
{
    if (State != Phase::Receiving) [[unlikely]] {
        if (State == Phase::Hunting)
            return Hunt(bit);
        Start();  // the flag that closed the last frame opened this one
    }
    if (bit != 0) {
        if (++Ones >= 6) [[unlikely]] {
            if (Rule == Framing::Octetwise) {
                Ones = 0;
                Armed = true;
            } else if (Ones == 7) {
                return Drop(Event::Abort);
            }
        }
        return Take(1);
    }
    if (Ones >= 5) [[unlikely]] {
        if (Ones == 6)  // a flag (Octetwise counts never reach six here)
            return Close();
        Ones = 0;  // stuffing
        return Event::None;
    }
    Ones = 0;
    const Event taken = Take(0);
    if (Rule == Framing::Bitwise && Bits() > BitLimit) [[unlikely]]
        return Drop(Event::Overlong);
    return taken;
}

inline HdlcReceiver::Event HdlcReceiver::Hunt(int bit)
{
    if (bit != 0) {
        Ones = std::min(Ones + 1, 7);
        return Event::None;
    }
    const bool flag = Ones == 6;
    Ones = 0;
    if (!flag)
        return Event::None;
    Start();
    return Event::FrameStart;
}

inline HdlcReceiver::Event HdlcReceiver::Take(int bit)
{
    Value = static_cast<uint8_t>(Value | bit << Filled);
    if (++Filled < 8)
        return Event::None;
    return Octet();
}

inline HdlcReceiver::Event HdlcReceiver::Octet()
{
    Filled = 0;
    if (Rule == Framing::Octetwise && Armed && Value == FlagOctet) {
        State = Phase::Closed;
        Whole = true;
        return Event::Frame;
    }
    Held.push_back(Value);
    Value = 0;
    if (Rule == Framing::Octetwise && static_cast<int>(Held.size()) > MaxOctets)
        return Drop(Event::Overlong);
    return Event::None;
}

inline HdlcReceiver::Event HdlcReceiver::Close()
{
    // The flag's 0 and six 1s were taken for data: give them back.
    const int bits = Bits() - 7;
    if (bits < 0) {  // a flag sharing the 0 of the one that opened the frame
        Start();
        return Event::FrameStart;
    }
    Held.resize(static_cast<size_t>(bits / 8));
    Whole = bits % 8 == 0;
    State = Phase::Closed;
    return Event::Frame;
}

inline HdlcReceiver::Event HdlcReceiver::Drop(Event why)
{
    State = Phase::Hunting;
    // An Octetwise count of 1s starts again after six: the run is not
    // known, so a flag's 0 must come first.
    if (Rule == Framing::Octetwise)
        Ones = 7;
    return why;
}

}  // namespace kelvane
