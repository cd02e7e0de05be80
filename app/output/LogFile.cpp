#include "output/LogFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kelvane {

#ifdef _WIN32

namespace {

// The system's sentence for an error, without its closing period and line
// break, to stand in a line of our own.
std::string SystemText(DWORD error)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string why = length > 0 && text != nullptr ? std::string(text, length)
                                                    : "error " + std::to_string(error);
    LocalFree(text);
    while (!why.empty() && (why.back() == '\r' || why.back() == '\n' || why.back() == ' ' ||
                            why.back() == '.'))
        why.pop_back();
    return why;
}

}  // namespace

bool LogFile::OpenLog(const std::string& path)
{
    CloseLog();
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Why = SystemText(GetLastError());
        return false;
    }
    LogHandle = file;
    return true;
}

bool LogFile::WriteLog(std::string_view block)
{
    if (LogHandle == nullptr)
        return false;
    // One write for the block, straight to the system: a reader sees it at
    // once. The loop only finishes what a nearly full disk cut short.
    const char* data = block.data();
    size_t left = block.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD step = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        if (!WriteFile(LogHandle, data, step, &written, nullptr)) {
            Why = SystemText(GetLastError());
            return false;
        }
        if (written == 0) {
            Why = SystemText(ERROR_DISK_FULL);
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

void LogFile::CloseLog()
{
    if (LogHandle != nullptr)
        CloseHandle(LogHandle);
    LogHandle = nullptr;
}

bool LogFile::IsOpen() const { return LogHandle != nullptr; }

#else

bool LogFile::OpenLog(const std::string& path)
{
    CloseLog();
    LogHandle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (LogHandle < 0)
        Why = std::strerror(errno);
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
        if (n <= 0) {
            Why = std::strerror(n < 0 ? errno : ENOSPC);
            return false;
        }
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

bool LogFile::IsOpen() const { return LogHandle >= 0; }

#endif

}  // namespace kelvane
