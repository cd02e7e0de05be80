// The vessel window with thousands of vessels: how long a message takes to
// reach its row, and a second's tick (ages, re-sort, plot) takes, sorted by
// age as a busy coast station would look at it.
//   vessel_bench [VESSELS] [MESSAGES_EACH]
#include "shell/frmVessels.h"

#include <QApplication>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int vessels = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int each = argc > 2 ? std::atoi(argv[2]) : 20;
    kelvane::frmVessels window;
    double now = 0;
    window.Model->Clock = [&] { return now; };
    window.SetStation("60.39", "5.32");
    window.Table->sortByColumn(static_cast<int>(kelvane::VesselColumn::LastHeard), Qt::AscendingOrder);
    window.show();
    QApplication::processEvents();
    std::mt19937 random(1);
    std::uniform_real_distribution<double> spread(-0.5, 0.5);
    const auto start = std::chrono::steady_clock::now();
    double tickSeconds = 0;
    int ticks = 0;
    for (int round = 0; round < each; ++round) {
        for (int v = 0; v < vessels; ++v) {
            kelvane::AisRecord message;
            message.Type = 1;
            message.Mmsi = 200000000 + static_cast<uint32_t>(v);
            message.Lat = 60.39 + spread(random);
            message.Lon = 5.32 + spread(random);
            message.Speed = 10;
            message.Course = 90;
            message.Fields = {{"type", int64_t{1}}, {"mmsi", int64_t{message.Mmsi}}};
            window.Model->Heard(message, "!AIVDM,1,1,,A,1,0*00\r\n", {});
            now += 0.01;
        }
        const auto tick = std::chrono::steady_clock::now();
        window.AgeTimer_Timer();
        // What the screen shows of it, painted now.
        window.grab();
        tickSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - tick).count();
        ++ticks;
    }
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double messages = static_cast<double>(vessels) * each;
    std::printf("%d vessels, %.0f messages: %.1f us a message, a second's tick %.1f ms "
                "(an AIS channel carries at most about 75 messages a second)\n",
                vessels, messages, (total - tickSeconds) / messages * 1e6, tickSeconds / ticks * 1e3);
    return 0;
}
