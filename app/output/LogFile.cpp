#include "output/LogFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kelvane {

bool LogFile::OpenLog(const std::string& path)
{
    CloseLog();
    LogHandle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return LogHandle >= 0;
}

bool LogFile::WriteLog(std::string_view block)
{
    if (LogHandle < 0)
        return false;
    // One write for the block; the loop only finishes what a signal or a
    // nearly full disk cut short.
    const char* data = block.data();
    size_t left = block.size();
    while (left > 0) {
        const ssize_t n = ::write(LogHandle, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

void LogFile::CloseLog()
{
    if (LogHandle >= 0)
        ::close(LogHandle);
    LogHandle = -1;
}

}  // namespace kelvane
