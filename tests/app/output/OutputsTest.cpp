#include "core/TextFields.h"
#include "output/LogFile.h"
#include "output/SerialPort.h"
#include "output/UdpTargets.h"

#include "support/LoopbackPeers.h"
#include "support/PtyPair.h"
#include "support/Recorders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kelvane::test {
namespace {

namespace fs = std::filesystem;

const std::string Block = "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n";

std::string Slurp(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// --- Serial, through a real pty pair ------------------------------------------

// Each write waits until the port has taken the block, so what a close
// flushes cannot be seen on a pty: this checks the bytes only.
TEST(SerialPort, EveryBlockArrivesByteForByte)
{
    PtyPair pty;
    RecordingEvents messages;
    SerialPort port(messages);
    EXPECT_TRUE(SerialPort::PortExists(pty.Near()));
    ASSERT_TRUE(port.OpenPort(pty.Near(), "38400,n,8,1"))
        << (messages.Shown.empty() ? "" : messages.Shown[0].text);
    std::string sent;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(port.WritePort(Block), static_cast<int32_t>(Block.size()));
        sent += Block;
    }
    port.ClosePort();
    EXPECT_EQ(pty.ReadFar(sent.size()), sent);
    EXPECT_TRUE(messages.Shown.empty());
}

TEST(SerialPort, MissingPortAndRefusedSettingsSayWhy)
{
    RecordingEvents messages;
    SerialPort port(messages);
    EXPECT_FALSE(SerialPort::PortExists("/dev/kelvane-no-such-port"));
    EXPECT_FALSE(port.OpenPort("/dev/kelvane-no-such-port", "38400,n,8,1"));
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_EQ(messages.Shown[0].text,
              "Com Port /dev/kelvane-no-such-port not available. Use Serial settings (on the main "
              "menu) to setup your ports.");
    EXPECT_EQ(messages.Shown[0].icon, MessageIcon::Exclamation);

    PtyPair pty;
    EXPECT_FALSE(port.OpenPort(pty.Near(), "fast,n,8,1"));
    EXPECT_EQ(messages.Shown.back().text, "Unable to build Comm DCB fast,n,8,1 Error: 22");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.OpenPort(pty.Near(), "38400,n,8"));
    EXPECT_EQ(messages.Shown.back().text, "Unable to build Comm DCB 38400,n,8 Error: 22");
    // Stop bits a POSIX line cannot make.
    EXPECT_FALSE(port.OpenPort(pty.Near(), "4800,n,8,1.5"));
    EXPECT_EQ(messages.Shown.back().text.rfind("Unable to set Comm DCB 4800,n,8,1.5 Error: ", 0), 0u);
    // The port was left closed: it opens again at once, with any parity.
    EXPECT_TRUE(port.OpenPort(pty.Near(), "4800,n,8,1"));
    EXPECT_TRUE(port.OpenPort(pty.Near(), "4800,m,8,2")) << messages.Shown.back().text;
    EXPECT_TRUE(port.OpenPort(pty.Near(), "4800,s,8,1")) << messages.Shown.back().text;
}

TEST(SerialPort, PortsAreListedInNaturalOrder)
{
    const std::vector<std::string> listed = SerialPort::ListPorts();
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(),
                               [](const std::string& a, const std::string& b) { return NaturalLess(a, b); }));
    for (const std::string& name : listed)
        EXPECT_TRUE(SerialPort::PortExists(name)) << name;

    std::vector<std::string> ports = {"ttyS10", "ttyUSB0", "ttyS2", "ttyACM1", "ttyS1", "ttyS02", "ttyUSB10", "ttyUSB9"};
    std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    EXPECT_EQ(ports, (std::vector<std::string>{"ttyACM1", "ttyS1", "ttyS02", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB9",
                                               "ttyUSB10"}));
}

TEST(SerialSettings, ReadLikeTheModeCommand)
{
    const auto s = ParseSerialSettings("4800,n,8,1");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->BaudRate, 4800);
    EXPECT_EQ(ParseSerialSettings("96,E,7,2")->BaudRate, 9600);
    EXPECT_EQ(ParseSerialSettings("96,E,7,2")->Parity, SerialParity::Even);
    EXPECT_EQ(ParseSerialSettings("96,E,7,2")->DataBits, 7);
    EXPECT_EQ(ParseSerialSettings("38400,o,5,1.5")->StopBits, SerialStopBits::OneAndHalf);
    for (const char* bad : {"", "38400", "38400,n,8", "38400,x,8,1", "38400,n,9,1", "38400,n,8,3",
                            "-1,n,8,1", "38400,n,8,1,1", "384OO,n,8,1"})
        EXPECT_FALSE(ParseSerialSettings(bad)) << bad;
}

// --- UDP, to real loopback sockets ----------------------------------------------

TEST(UdpTargets, EachDestinationGetsEachBlockOnceInListOrder)
{
    UdpReceiver receiver("0.0.0.0");
    const std::string p = std::to_string(receiver.Port());
    UdpTargets udp([] { return true; });
    ASSERT_TRUE(udp.OpenUdpTargets(" 127.0.0.1:" + p + " , 127.0.0.2 : " + p + ",127.0.0.3:" + p));
    EXPECT_EQ(udp.EndpointCount(), 3u);
    udp.SendUdp("one");
    udp.SendUdp("two");
    const auto got = receiver.Take(6);
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(got, (std::vector<P>{{"127.0.0.1", "one"}, {"127.0.0.2", "one"}, {"127.0.0.3", "one"},
                                   {"127.0.0.1", "two"}, {"127.0.0.2", "two"}, {"127.0.0.3", "two"}}));
    udp.CloseUdpTargets();
    EXPECT_EQ(udp.EndpointCount(), 0u);
}

TEST(UdpTargets, ListRules)
{
    struct Case {
        const char* list;
        bool valid;
        std::vector<int32_t> ports;
    };
    for (const Case& c : std::vector<Case>{
             {"", true, {}},
             {"host:1000", true, {1000}},
             {"host:65000", true, {65000}},
             {"host:999", false, {}},
             {"host:65001", false, {}},
             {"host", false, {}},
             {"a:b:2000", false, {}},
             {"host:2000x", false, {}},
             {"host:2000,,host:2001", false, {}},
             {"host:2000,", false, {}},
             {"host:0x7D0", false, {}},
             {"host:", false, {}},
             {"host:2000.5", true, {2000}},
             {"host:2001.5", true, {2002}},
             {"host:999.5", true, {1000}},
             {"host:1e3", true, {1000}},
             {" h1 : 2000 ,h2:3000", true, {2000, 3000}},
         }) {
        const auto parsed = ParseUdpDestinations(c.list);
        ASSERT_EQ(parsed.has_value(), c.valid) << '"' << c.list << '"';
        if (!parsed)
            continue;
        std::vector<int32_t> ports;
        for (const UdpDestination& d : *parsed)
            ports.push_back(d.Port);
        EXPECT_EQ(ports, c.ports) << c.list;
    }
    EXPECT_EQ(ParseUdpDestinations(" h1 : 2000 ")->front().Host, "h1");
}

TEST(UdpTargets, AFailedSendIsShownAndTheOthersStillGetTheirs)
{
    UdpReceiver receiver("0.0.0.0");
    const std::string p = std::to_string(receiver.Port());
    std::vector<std::string> failed;
    UdpTargets udp([] { return true; });
    udp.OnSendFailure = [&](const UdpDestination& d) { failed.push_back(d.Host); };
    ASSERT_TRUE(udp.OpenUdpTargets("127.0.0.1:" + p + ",no-such-host.invalid:2000,127.0.0.2:" + p));
    udp.SendUdp("x");
    EXPECT_EQ(failed, std::vector<std::string>{"no-such-host.invalid"});
    EXPECT_EQ(receiver.Take(2).size(), 2u);
}

TEST(UdpTargets, WithoutANetworkLoopbackIsStillServed)
{
    UdpReceiver receiver;
    std::vector<std::string> failed;
    UdpTargets udp([] { return false; });
    udp.OnSendFailure = [&](const UdpDestination& d) { failed.push_back(d.Host); };
    ASSERT_TRUE(udp.OpenUdpTargets("192.0.2.1:2000,127.0.0.1:" + std::to_string(receiver.Port())));
    udp.SendUdp("x");
    EXPECT_EQ(failed, std::vector<std::string>{"192.0.2.1"});
    EXPECT_EQ(receiver.Take(1).size(), 1u);
}

TEST(UdpTargets, AnInvalidEntryKeepsTheEarlierOnesUntilClose)
{
    UdpTargets udp([] { return true; });
    EXPECT_FALSE(udp.OpenUdpTargets("127.0.0.1:2000,127.0.0.1:2001,oops"));
    EXPECT_EQ(udp.EndpointCount(), 2u);
    udp.CloseUdpTargets();
    EXPECT_EQ(udp.EndpointCount(), 0u);
}

// --- Log file -----------------------------------------------------------------

class LogAndControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() / ("kelvane-outputs-" + std::to_string(getpid()));
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    fs::path Dir;
};

TEST_F(LogAndControl, EachRunStartsTheLogAfreshAndReadersSeeEachBlockAtOnce)
{
    const fs::path path = Dir / "ais.log";
    LogFile log;
    ASSERT_TRUE(log.OpenLog(path));
    log.WriteLog("first run\r\n");
    log.CloseLog();
    ASSERT_TRUE(log.OpenLog(path));
    std::ifstream reader(path, std::ios::binary);
    log.WriteLog(Block);
    std::string line;
    ASSERT_TRUE(std::getline(reader, line));
    EXPECT_EQ(line + "\n", Block);
    log.WriteLog(Block);
    log.CloseLog();
    EXPECT_EQ(Slurp(path), Block + Block);
}

}  // namespace
}  // namespace kelvane::test
