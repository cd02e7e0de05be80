// What the web view shows, kept up to date by the front end as the station
// reports it and read by the HTTP side on its own thread: the station (its
// demodulator, receivers, counters, input level), the vessels heard with
// their last positions, the last messages, and the traffic plots (messages
// per minute on each channel, signal levels and SNRs). Every member takes
// one lock for a short while, so the decoder is never held up by a reader.
#pragma once

#include "ais/AisJson.h"
#include "ais/VesselTable.h"
#include "core/MessageOrigin.h"
#include "core/ReceiveCounters.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kelvane {

// One message as `kelvane-decode --json` writes it: gpsd's AIS fields, then
// channel, signal_db and snr_db where they are known.
Json MessageJson(const AisRecord& message, const MessageOrigin& origin);

// The stream being decoded.
struct WebStreamInfo {
    std::string Demodulator;  // "library", "builtin", "burst"
    int32_t Receivers = 1;    // 2: channel A and B on the two inputs
    int32_t SampleRate = 0;
};

class WebModel {
public:
    static constexpr size_t KeptMessages = 500;
    static constexpr size_t TrackPoints = 32;
    static constexpr int PlotMinutes = 360;  // six hours
    // Level histogram: 1 dB bins from LevelLowDb up; SNR: 1 dB bins from 0.
    static constexpr int LevelLowDb = -70;
    static constexpr int LevelBins = 80;
    static constexpr int SnrBins = 60;
    // A vessel not heard for a day leaves the list, so that a station that
    // runs for months keeps what it shows (and its memory) bounded.
    static constexpr double ForgetAfterSeconds = 24 * 3600;

    // clock: Unix seconds (the system clock by default).
    explicit WebModel(std::function<double()> clock = {});

    // The station's position, for distances, bearings and range rings.
    void SetStation(std::optional<Position> station);

    // --- The feed, on the front end's thread.
    void StreamStarted(const WebStreamInfo& stream);
    void Counted(const ReceiveCounters& counters);
    void Level(int32_t level);
    // A decoded message: its bits as the station gave them, its sentences.
    void Heard(std::span<const int32_t> bits, std::string_view sentences, const MessageOrigin& origin);

    // --- What the HTTP side reads (any thread).
    // The station: stream, uptime, counters, level, per-channel counts.
    Json Status() const;
    // Every vessel as the vessel list shows it, with gpsd's field names where
    // gpsd has one, its last positions and, with a station, distance and
    // bearing; the most recently heard first.
    Json Vessels() const;
    // One vessel with every field its messages gave and its last sentences.
    std::optional<Json> VesselDetails(uint32_t mmsi) const;
    // The last messages (at most limit), oldest first, one JSON object a
    // line as --json writes them.
    std::string Messages(size_t limit) const;
    Json Plots() const;
    // Everything a page starts from: {"status", "vessels", "plots"}.
    Json Snapshot() const;
    // What changed since the last call: the status, the vessels heard since
    // (as in Vessels), and the plots when a message came.
    Json TakeUpdate();
    // The same with nobody to tell: what changed is forgotten.
    void ForgetChanges();

    int64_t MessagesHeard() const;

private:
    struct Minute {
        int64_t Index = 0;  // Unix minutes
        std::array<int32_t, 3> Counts{};  // A, B, unknown channel
    };
    struct ChannelCounts {
        int64_t Messages = 0;
        std::map<std::string, int64_t> Types;  // "1-3", "5", "18-19", "24", "other"
    };

    Json VesselJson(const Vessel& v) const;
    Json StatusLocked() const;
    Json PlotsLocked() const;
    Json VesselsLocked() const;

    std::function<double()> Clock;
    double Started = 0;
    mutable std::mutex Lock;
    std::optional<Position> Station;
    WebStreamInfo Stream;
    bool StreamKnown = false;
    ReceiveCounters Counters;
    int32_t InputLevel = 0;
    VesselTable Table;
    std::unordered_map<uint32_t, std::deque<Position>> Tracks;
    std::deque<std::string> LastMessages;
    int64_t MessageCount = 0;
    std::deque<Minute> Minutes;
    std::array<int64_t, LevelBins> LevelCounts{};
    std::array<int64_t, SnrBins> SnrCounts{};
    std::array<ChannelCounts, 3> PerChannel;
    std::set<uint32_t> Changed;
    bool PlotsChanged = false;
    double LastForgetting = 0;
};

}  // namespace kelvane
