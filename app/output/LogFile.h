// The log file: the concatenation of every SentenceBlock of a run, nothing
// else. Emptied when opened; each block written at once so that another
// program reading the file sees it straight away.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

class LogFile {
public:
    LogFile() = default;
    ~LogFile() { CloseLog(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Creates the file or empties an existing one. Other programs may open
    // it for reading or writing meanwhile.
    bool OpenLog(const std::string& path);
    // Appends the block in one write. Returns false when the system refused
    // it (a full disk, a vanished medium); Problem then says why.
    bool WriteLog(std::string_view block);
    void CloseLog();

    bool IsOpen() const;
    // Why the last OpenLog or WriteLog failed, in the system's words.
    const std::string& Problem() const { return Why; }

private:
#ifdef _WIN32
    void* LogHandle = nullptr;  // a HANDLE
#else
    int LogHandle = -1;
#endif
    std::string Why;
};

}  // namespace kelvane
