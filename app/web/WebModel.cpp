#include "web/WebModel.h"

#include "ais/AisDecoder.h"
#include "ais/AisTexts.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace kelvane {

namespace {

double SystemClock()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Index of a channel's counts: A, B, or a receiver that cannot tell.
size_t ChannelIndex(RadioChannel channel)
{
    return channel == RadioChannel::A ? 0 : channel == RadioChannel::B ? 1 : 2;
}

constexpr const char* ChannelNames[] = {"A", "B", "-"};

// The message type counters as the window groups them.
const char* TypeGroup(int type)
{
    switch (type) {
    case 1:
    case 2:
    case 3: return "1-3";
    case 5: return "5";
    case 18:
    case 19: return "18-19";
    case 24: return "24";
    default: return "other";
    }
}

// A number with the decimals a person reads, as a JSON number.
double Rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

// What a row is when its messages give no ship type.
std::string KindOf(const Vessel& v)
{
    if (v.ShipType)
        return ShipCategoryText(*v.ShipType);
    switch (v.StationKind) {
    case 4: return "Base station";
    case 9: return "SAR aircraft";
    case 21: return "Aid to navigation";
    default: return {};
    }
}

Json CountersJson(const ReceiveCounters& c)
{
    return Json{{"syncs", c.SyncCount},          {"valid", c.ValidCount},
                {"errors", c.ErrorCount},        {"presyncs", c.PreSyncCount},
                {"overruns", c.OverrunCount},    {"types_1_3", c.MsgCount123},
                {"type_5", c.MsgCount5},         {"types_18_19", c.MsgCount1819},
                {"type_24", c.MsgCount24},       {"types_other", c.MsgCountOther},
                {"valid_a", c.ValidCountA},      {"valid_b", c.ValidCountB}};
}

}  // namespace

Json MessageJson(const AisRecord& message, const MessageOrigin& origin)
{
    std::vector<AisField> extras;
    if (origin.Channel != RadioChannel::Unknown)
        extras.push_back({"channel", std::string(1, static_cast<char>(origin.Channel))});
    if (!std::isnan(origin.LevelDb))
        extras.push_back({"signal_db", AisReal{origin.LevelDb, 1}});
    if (!std::isnan(origin.SnrDb))
        extras.push_back({"snr_db", AisReal{origin.SnrDb, 1}});
    return AisJsonObject(message, extras);
}

WebModel::WebModel(std::function<double()> clock) : Clock(clock ? std::move(clock) : SystemClock)
{
    Started = Clock();
}

void WebModel::SetStation(std::optional<Position> station)
{
    const std::lock_guard lock(Lock);
    Station = station;
    // Every distance and bearing changes.
    for (const Vessel& v : Table.Rows())
        Changed.insert(v.Mmsi);
}

void WebModel::StreamStarted(const WebStreamInfo& stream)
{
    const std::lock_guard lock(Lock);
    Stream = stream;
    StreamKnown = true;
}

void WebModel::Counted(const ReceiveCounters& counters)
{
    const std::lock_guard lock(Lock);
    Counters.SyncCount = counters.SyncCount;
    Counters.ErrorCount = counters.ErrorCount;
    Counters.PreSyncCount = counters.PreSyncCount;
    Counters.ValidCount = counters.ValidCount;
    Counters.OverrunCount = counters.OverrunCount;
    Counters.MsgCount123 = counters.MsgCount123;
    Counters.MsgCount5 = counters.MsgCount5;
    Counters.MsgCount1819 = counters.MsgCount1819;
    Counters.MsgCount24 = counters.MsgCount24;
    Counters.MsgCountOther = counters.MsgCountOther;
    Counters.ValidCountA = counters.ValidCountA;
    Counters.ValidCountB = counters.ValidCountB;
}

void WebModel::Level(int32_t level)
{
    const std::lock_guard lock(Lock);
    InputLevel = level;
}

void WebModel::Heard(std::span<const int32_t> bits, std::string_view sentences, const MessageOrigin& origin)
{
    // Decoded and written before the lock: a reader waits only for the
    // bookkeeping.
    const std::optional<AisRecord> message = DecodeAisMessage(bits);
    if (!message)
        return;  // too short to name its sender
    std::string line = DumpJson(MessageJson(*message, origin));
    const double now = Clock();
    const size_t channel = ChannelIndex(origin.Channel);

    const std::lock_guard lock(Lock);
    if (now - LastForgetting >= 60) {
        // Once a minute at most: the rows and tracks of a day ago go.
        LastForgetting = now;
        if (Table.ForgetHeardBefore(now - ForgetAfterSeconds) > 0)
            std::erase_if(Tracks, [this](const auto& track) { return !Table.Find(track.first); });
    }
    ++MessageCount;
    const size_t row =
        Table.Heard(*message, sentences, static_cast<char>(origin.Channel), origin.LevelDb, origin.SnrDb, now);
    const Vessel& v = Table.Rows()[row];
    if (message->Lat && message->Lon) {
        std::deque<Position>& track = Tracks[v.Mmsi];
        const Position at{*message->Lat, *message->Lon};
        if (track.empty() || track.back().Lat != at.Lat || track.back().Lon != at.Lon)
            track.push_back(at);
        if (track.size() > TrackPoints)
            track.pop_front();
    }
    Changed.insert(v.Mmsi);

    LastMessages.push_back(std::move(line));
    if (LastMessages.size() > KeptMessages)
        LastMessages.pop_front();

    const auto minute = static_cast<int64_t>(std::floor(now / 60));
    if (Minutes.empty() || Minutes.back().Index < minute)
        Minutes.push_back({minute, {}});
    // A clock set back counts into the newest minute kept.
    ++Minutes.back().Counts[channel];
    while (!Minutes.empty() && Minutes.front().Index <= Minutes.back().Index - PlotMinutes)
        Minutes.pop_front();

    if (!std::isnan(origin.LevelDb)) {
        const auto bin = static_cast<int>(std::floor(origin.LevelDb)) - LevelLowDb;
        ++LevelCounts[static_cast<size_t>(std::clamp(bin, 0, LevelBins - 1))];
    }
    if (!std::isnan(origin.SnrDb)) {
        const auto bin = static_cast<int>(std::floor(origin.SnrDb));
        ++SnrCounts[static_cast<size_t>(std::clamp(bin, 0, SnrBins - 1))];
    }
    ChannelCounts& counts = PerChannel[channel];
    ++counts.Messages;
    ++counts.Types[TypeGroup(message->Type)];
    PlotsChanged = true;
}

Json WebModel::VesselJson(const Vessel& v) const
{
    Json out = Json::object();
    out["mmsi"] = v.Mmsi;
    if (v.Name)
        out["shipname"] = *v.Name;
    if (v.Callsign)
        out["callsign"] = *v.Callsign;
    if (v.ShipType) {
        out["shiptype"] = *v.ShipType;
        out["shiptype_text"] = ShipTypeText(*v.ShipType);
    }
    if (const std::string kind = KindOf(v); !kind.empty())
        out["kind"] = kind;
    if (v.Destination)
        out["destination"] = *v.Destination;
    if (v.Status) {
        out["status"] = *v.Status;
        out["status_text"] = NavigationStatusText(*v.Status);
    }
    if (v.Lat && v.Lon) {
        out["lat"] = Rounded(*v.Lat, 6);
        out["lon"] = Rounded(*v.Lon, 6);
        if (Station) {
            out["distance"] = Rounded(DistanceNm(*Station, {*v.Lat, *v.Lon}), 2);
            out["bearing"] = Rounded(BearingDeg(*Station, {*v.Lat, *v.Lon}), 1);
        }
    }
    if (v.Speed)
        out["speed"] = Rounded(*v.Speed, 1);
    if (v.Course)
        out["course"] = Rounded(*v.Course, 1);
    if (v.Heading)
        out["heading"] = *v.Heading;
    out["messages"] = v.Messages;
    out["last_heard"] = Rounded(v.LastHeard, 3);
    out["channels"] = std::string(v.HeardOnA ? "A" : "") + (v.HeardOnB ? "B" : "");
    if (!std::isnan(v.LevelDb))
        out["signal_db"] = Rounded(v.LevelDb, 1);
    if (!std::isnan(v.SnrDb))
        out["snr_db"] = Rounded(v.SnrDb, 1);
    Json track = Json::array();
    if (const auto found = Tracks.find(v.Mmsi); found != Tracks.end())
        for (const Position& p : found->second)
            track.push_back({Rounded(p.Lat, 6), Rounded(p.Lon, 6)});
    out["track"] = std::move(track);
    return out;
}

Json WebModel::StatusLocked() const
{
    const double now = Clock();
    Json channels = Json::object();
    for (size_t i = 0; i < PerChannel.size(); ++i) {
        if (PerChannel[i].Messages == 0)
            continue;
        Json types = Json::object();
        for (const char* group : {"1-3", "5", "18-19", "24", "other"}) {
            const auto found = PerChannel[i].Types.find(group);
            types[group] = found == PerChannel[i].Types.end() ? 0 : found->second;
        }
        channels[ChannelNames[i]] = {{"messages", PerChannel[i].Messages}, {"types", std::move(types)}};
    }
    Json out = {{"time", Rounded(now, 3)},
                {"uptime", Rounded(now - Started, 0)},
                {"counters", CountersJson(Counters)},
                {"channels", std::move(channels)},
                {"messages", MessageCount},
                {"vessels", Table.Rows().size()},
                // The level bar of the window: the block's peak from the
                // midline (128) to full scale (255).
                {"level", InputLevel},
                {"level_percent", InputLevel >= 128 ? Rounded((InputLevel - 128) * 100.0 / 127, 0) : 0.0}};
    if (StreamKnown)
        out["stream"] = {{"demodulator", Stream.Demodulator},
                         {"receivers", Stream.Receivers},
                         {"sample_rate", Stream.SampleRate}};
    if (Station)
        out["station"] = {{"lat", Station->Lat}, {"lon", Station->Lon}};
    return out;
}

Json WebModel::PlotsLocked() const
{
    // The last PlotMinutes minutes up to now, oldest first, zero where
    // nothing was heard.
    const auto current = static_cast<int64_t>(std::floor(Clock() / 60));
    const int64_t last = std::max(current, Minutes.empty() ? current : Minutes.back().Index);
    const int64_t first = last - PlotMinutes + 1;
    std::array<std::vector<int32_t>, 3> series;
    for (auto& s : series)
        s.assign(PlotMinutes, 0);
    for (const Minute& m : Minutes) {
        if (m.Index < first)
            continue;
        for (size_t c = 0; c < 3; ++c)
            series[c][static_cast<size_t>(m.Index - first)] = m.Counts[c];
    }
    Json perMinute = Json::object();
    for (size_t c = 0; c < 3; ++c)
        if (PerChannel[c].Messages > 0)
            perMinute[ChannelNames[c]] = series[c];
    return {{"first_minute", first},
            {"per_minute", std::move(perMinute)},
            {"level_db", {{"low", LevelLowDb}, {"counts", LevelCounts}}},
            {"snr_db", {{"low", 0}, {"counts", SnrCounts}}}};
}

Json WebModel::VesselsLocked() const
{
    std::vector<const Vessel*> rows;
    rows.reserve(Table.Rows().size());
    for (const Vessel& v : Table.Rows())
        rows.push_back(&v);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Vessel* a, const Vessel* b) { return a->LastHeard > b->LastHeard; });
    Json out = Json::array();
    for (const Vessel* v : rows)
        out.push_back(VesselJson(*v));
    return out;
}

Json WebModel::Status() const
{
    const std::lock_guard lock(Lock);
    return StatusLocked();
}

Json WebModel::Vessels() const
{
    const std::lock_guard lock(Lock);
    return VesselsLocked();
}

std::optional<Json> WebModel::VesselDetails(uint32_t mmsi) const
{
    const std::lock_guard lock(Lock);
    const std::optional<size_t> row = Table.Find(mmsi);
    if (!row)
        return std::nullopt;
    const Vessel& v = Table.Rows()[*row];
    Json out = VesselJson(v);
    Json fields = Json::object();
    for (const AisField& field : v.Fields)
        fields[field.Name] = AisJsonValue(field.Value);
    out["fields"] = std::move(fields);
    out["sentences"] = Json(std::vector<std::string>(v.Sentences.begin(), v.Sentences.end()));
    return out;
}

std::string WebModel::Messages(size_t limit) const
{
    const std::lock_guard lock(Lock);
    std::string out;
    const size_t skip = LastMessages.size() > limit ? LastMessages.size() - limit : 0;
    for (size_t i = skip; i < LastMessages.size(); ++i)
        out += LastMessages[i] + "\n";
    return out;
}

Json WebModel::Plots() const
{
    const std::lock_guard lock(Lock);
    return PlotsLocked();
}

Json WebModel::Snapshot() const
{
    const std::lock_guard lock(Lock);
    return {{"status", StatusLocked()}, {"vessels", VesselsLocked()}, {"plots", PlotsLocked()}};
}

Json WebModel::TakeUpdate()
{
    const std::lock_guard lock(Lock);
    Json vessels = Json::array();
    for (const uint32_t mmsi : Changed)
        if (const std::optional<size_t> row = Table.Find(mmsi))
            vessels.push_back(VesselJson(Table.Rows()[*row]));
    Changed.clear();
    Json out = {{"status", StatusLocked()}, {"vessels", std::move(vessels)}};
    if (std::exchange(PlotsChanged, false))
        out["plots"] = PlotsLocked();
    return out;
}

void WebModel::ForgetChanges()
{
    const std::lock_guard lock(Lock);
    Changed.clear();
    PlotsChanged = false;
}

int64_t WebModel::MessagesHeard() const
{
    const std::lock_guard lock(Lock);
    return MessageCount;
}

}  // namespace kelvane
