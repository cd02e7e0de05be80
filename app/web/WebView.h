// The web view: a read-only page for a station without a screen, served
// from the program itself on a thread of its own. The front end feeds it
// what the station reports (any thread, a short lock each); a few times a
// second whatever changed goes to every open page as one event, whatever
// the traffic. The page, its libraries and the land outline are built into
// the program: nothing is installed beside it and the browser fetches
// nothing from elsewhere.
//
//   /                 the page
//   /events           the live stream (Server-Sent Events: "snapshot", then
//                     an "update" at most every UpdateInterval)
//   /api/status       the station: stream, uptime, counters, level, channels
//   /api/vessels      every vessel heard, gpsd's field names where it has one
//   /api/vessels/MMSI one vessel with every decoded field and its sentences
//   /api/messages     the last messages as --json writes them, one a line
//                     (?limit=N, at most 500)
//   /api/plots        messages per minute per channel, level and SNR counts
#pragma once

#include "ais/VesselTable.h"
#include "web/HttpSettings.h"
#include "web/WebModel.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

struct WebViewSettings {
    // "[ADDRESS:]PORT" ("[ADDRESS]:PORT" for IPv6); a port alone listens on
    // 127.0.0.1 only. Port 0 takes any free port (see WebView::Url).
    std::string Address;
    std::optional<Position> Station;
    std::chrono::milliseconds UpdateInterval{500};
    HttpLimits Limits;
};

// "" when the address has the form WebViewSettings::Address takes, else why
// not.
std::string WebAddressProblem(std::string_view address);

class WebView {
public:
    explicit WebView(std::function<double()> clock = {});
    ~WebView();
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    // Listens and starts the updates; "" or what failed, naming the address.
    std::string Open(const WebViewSettings& settings);
    void Close();
    bool IsOpen() const { return Live != nullptr; }
    // Where the page is, such as "http://127.0.0.1:8080/".
    std::string Url() const;

    // The feed and what the page shows.
    WebModel& Model() { return State; }
    HttpStats Counts() const;

private:
    // The network thread, the server on it and the update timer, while open.
    struct Running;

    HttpResponse Answer(std::string_view path, std::string_view query) const;
    void Tick();

    WebModel State;
    std::string Listening;
    std::chrono::milliseconds Interval{500};
    std::unique_ptr<Running> Live;
    HttpStats Final;
};

}  // namespace kelvane
