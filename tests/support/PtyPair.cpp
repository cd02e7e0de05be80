#include "support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace kelvane::test {

PtyPair::PtyPair()
{
    char pattern[] = "/tmp/kelvane-pty-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    Dir = pattern;
    NearPath = Dir + "/near";
    FarPath = Dir + "/far";
    const std::string nearSpec = "pty,raw,echo=0,link=" + NearPath;
    const std::string farSpec = "pty,raw,echo=0,link=" + FarPath;
    Socat = fork();
    if (Socat == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execlp("socat", "socat", nearSpec.c_str(), farSpec.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(std::filesystem::exists(NearPath) && std::filesystem::exists(FarPath))) {
        if (std::chrono::steady_clock::now() > deadline || waitpid(Socat, nullptr, WNOHANG) != 0)
            throw std::runtime_error("socat did not make a pty pair (is socat installed?)");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FarFd = open(FarPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (FarFd < 0)
        throw std::runtime_error("cannot open " + FarPath);
    termios raw{};
    tcgetattr(FarFd, &raw);
    cfmakeraw(&raw);
    tcsetattr(FarFd, TCSANOW, &raw);
}

PtyPair::~PtyPair()
{
    Vanish();
    std::filesystem::remove_all(Dir);
}

std::string PtyPair::ReadFar(size_t count, int timeoutMs)
{
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (data.size() < count && FarFd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{FarFd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = read(FarFd, buffer, sizeof buffer);
        if (n > 0)
            data.append(buffer, static_cast<size_t>(n));
    }
    return data;
}

void PtyPair::Vanish()
{
    if (FarFd >= 0)
        close(FarFd);
    FarFd = -1;
    if (Socat > 0) {
        kill(Socat, SIGTERM);
        waitpid(Socat, nullptr, 0);
    }
    Socat = -1;
}

}  // namespace kelvane::test
