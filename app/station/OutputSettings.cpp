#include "station/OutputSettings.h"

#include "nmea/TagBlocks.h"
#include "output/SerialPort.h"
#include "output/TcpClientOutput.h"
#include "output/TcpServerOutput.h"
#include "output/UdpTargets.h"

namespace kelvane {

std::vector<OutputSettingProblem> CheckOutputSettings(const OutputSettings& settings)
{
    std::vector<OutputSettingProblem> problems;
    if (settings.Serial) {
        if (settings.SerialPort.empty())
            problems.push_back({OutputKind::Serial, settings.SerialPort, "no port is given"});
        else if (!ParseSerialSettings(settings.SerialSettings))
            problems.push_back({OutputKind::Serial, settings.SerialSettings,
                                "the settings are not SPEED,PARITY,DATA,STOP (such as 38400,n,8,1): "
                                "parity n, e, o, m or s; 5 to 8 data bits; 1, 1.5 or 2 stop bits"});
    }
    if (settings.Log && settings.LogPath.empty())
        problems.push_back({OutputKind::Log, settings.LogPath, "no file is given"});
    if (settings.Udp) {
        const auto list = ParseUdpDestinations(settings.UdpList);
        if (!list || list->empty())
            problems.push_back({OutputKind::Udp, settings.UdpList,
                                "give HOST:PORT destinations separated by commas, ports 1000 to 65000"});
    }
    if (settings.TcpServer && !ParseListenAddress(settings.TcpServerAddress))
        problems.push_back({OutputKind::TcpServer, settings.TcpServerAddress,
                            "give a port from 1 to 65535, or ADDRESS:PORT ([ADDRESS]:PORT for IPv6)"});
    if (settings.TcpClient && !ParseTcpTarget(settings.TcpClientTarget))
        problems.push_back({OutputKind::TcpClient, settings.TcpClientTarget,
                            "give HOST:PORT, a port from 1 to 65535"});
    if (settings.TagBlocks) {
        if (const std::string problem = StationNameProblem(settings.StationName); !problem.empty())
            problems.push_back({OutputKind::TagBlocks, settings.StationName, problem});
    }
    return problems;
}

}  // namespace kelvane
