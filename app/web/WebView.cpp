#include "web/WebView.h"

#include "output/NetworkThread.h"
#include "output/TcpServerOutput.h"
#include "web/HttpServer.h"
#include "web/WebAssets.h"

#include <asio/ip/address_v4.hpp>
#include <asio/steady_timer.hpp>

#include <charconv>
#include <thread>

namespace kelvane {

using asio::ip::tcp;

namespace {

// ParseListenAddress, with port 0 (any free port) allowed.
std::optional<ListenAddress> ParseWebAddress(std::string_view text)
{
    std::string copy(text);
    const size_t colon = copy.rfind(':');
    const size_t portAt = colon == std::string::npos ? 0 : colon + 1;
    const std::string_view port = std::string_view(copy).substr(portAt);
    const bool any = port.find_first_not_of('0') == std::string_view::npos && !port.empty();
    if (any)
        copy = copy.substr(0, portAt) + "1";
    std::optional<ListenAddress> parsed = ParseListenAddress(copy);
    if (parsed && any)
        parsed->Port = 0;
    return parsed;
}

// N from "limit=N" in a query, or fallback.
size_t QueryNumber(std::string_view query, std::string_view name, size_t fallback)
{
    for (size_t at = 0; at <= query.size();) {
        const size_t end = std::min(query.find('&', at), query.size());
        const std::string_view pair = query.substr(at, end - at);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=') {
            size_t value = 0;
            const std::string_view digits = pair.substr(name.size() + 1);
            const auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (error == std::errc() && stop == digits.data() + digits.size())
                return value;
        }
        at = end + 1;
    }
    return fallback;
}

HttpResponse JsonAnswer(const Json& value)
{
    return {200, "application/json; charset=utf-8", {}, DumpJson(value) + "\n"};
}

}  // namespace

struct WebView::Running {
    // Before what runs on it.
    NetworkThread Network;
    std::unique_ptr<HttpServer> Server;
    std::unique_ptr<asio::steady_timer> Updates;
};

std::string WebAddressProblem(std::string_view address)
{
    return ParseWebAddress(address) ? std::string()
                                    : "give a port from 0 to 65535, or ADDRESS:PORT ([ADDRESS]:PORT for IPv6)";
}

WebView::WebView(std::function<double()> clock) : State(std::move(clock)) {}

WebView::~WebView() { Close(); }

std::string WebView::Open(const WebViewSettings& settings)
{
    Close();
    const std::optional<ListenAddress> where = ParseWebAddress(settings.Address);
    if (!where)
        return "web view address \"" + settings.Address + "\": " + WebAddressProblem(settings.Address);
    const asio::ip::address address = where->Address ? *where->Address : asio::ip::address(asio::ip::address_v4::loopback());
    State.SetStation(settings.Station);
    Interval = settings.UpdateInterval;
    auto live = std::make_unique<Running>();
    std::string problem;
    live->Network.Run([&] {
        live->Server = std::make_unique<HttpServer>(
            live->Network.Context(), "/events",
            [this](std::string_view path, std::string_view query) { return Answer(path, query); },
            [this] { return ServerSentEvent("snapshot", DumpJson(State.Snapshot())); }, settings.Limits);
        problem = live->Server->Listen(tcp::endpoint(address, where->Port));
        if (!problem.empty()) {
            live->Server.reset();
            return;
        }
        const bool v6 = address.is_v6();
        Listening = std::string("http://") + (v6 ? "[" : "") + address.to_string() + (v6 ? "]" : "") + ":" +
                    std::to_string(live->Server->Port()) + "/";
        live->Updates = std::make_unique<asio::steady_timer>(live->Network.Context());
    });
    if (!problem.empty())
        return "web view on " + settings.Address + ": " + problem;
    Live = std::move(live);
    Live->Network.Run([this] { Tick(); });
    return {};
}

void WebView::Close()
{
    if (!Live)
        return;
    // What came since the last update still reaches every open page, each
    // given a second at most to take it.
    bool streaming = false;
    Live->Network.Run([&] {
        Live->Updates.reset();
        Live->Server->Finish(ServerSentEvent("update", DumpJson(State.TakeUpdate())));
        streaming = Live->Server->StreamClients() > 0;
    });
    for (int wait = 0; streaming && wait < 100; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Live->Network.Run([&] { streaming = Live->Server->StreamClients() > 0; });
    }
    Live->Network.Run([&] {
        Final = Live->Server->Counts();
        Live->Server->Close();
        Live->Server.reset();
        // Nothing of the view runs after this.
        Live->Network.Context().stop();
    });
    Live.reset();
}

std::string WebView::Url() const { return Listening; }

HttpStats WebView::Counts() const
{
    // Read on the caller's thread: the counts are atomic, and the server
    // lives until Close.
    return Live ? Live->Server->Counts() : Final;
}

void WebView::Tick()
{
    Live->Updates->expires_after(Interval);
    Live->Updates->async_wait([this](const asio::error_code& error) {
        // A wait that had ended before Close took the timer away still
        // comes here, without an error.
        if (error || !Live || !Live->Updates || !Live->Server)
            return;
        // One update for all, made once, whatever came since the last.
        if (Live->Server->StreamClients() > 0)
            Live->Server->Broadcast(ServerSentEvent("update", DumpJson(State.TakeUpdate())));
        else
            State.ForgetChanges();
        Tick();
    });
}

HttpResponse WebView::Answer(std::string_view path, std::string_view query) const
{
    if (path == "/api/status")
        return JsonAnswer(State.Status());
    if (path == "/api/vessels")
        return JsonAnswer(State.Vessels());
    if (path.rfind("/api/vessels/", 0) == 0) {
        const std::string_view digits = path.substr(13);
        uint32_t mmsi = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), mmsi);
        if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty())
            if (const std::optional<Json> vessel = State.VesselDetails(mmsi))
                return JsonAnswer(*vessel);
        return {404, "application/json; charset=utf-8", {}, "{\"error\":\"no such vessel\"}\n"};
    }
    if (path == "/api/messages")
        return {200, "application/x-ndjson; charset=utf-8", {},
                State.Messages(std::min<size_t>(QueryNumber(query, "limit", 100), WebModel::KeptMessages))};
    if (path == "/api/plots")
        return JsonAnswer(State.Plots());
    if (const std::optional<WebAsset> asset = FindWebAsset(path == "/" ? "/index.html" : path))
        return {200, std::string(asset->ContentType), asset->Bytes, {}};
    return {404, {}, {}, {}};
}

}  // namespace kelvane
