#include "TraceFile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace brinecore {

namespace {

std::filesystem::path TraceFolder()
{
#if defined(_WIN32)
    return std::filesystem::path("e:\\Scanner\\Kelvane");
#else
    // XDG base directories: a relative XDG_STATE_HOME is to be ignored.
    std::filesystem::path base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        base = state;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = std::filesystem::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return base / "Kelvane";
#endif
}

}  // namespace

std::FILE* OpenTraceFile(const char* fileName)
{
    const std::filesystem::path folder = TraceFolder();
    if (folder.empty())
        return nullptr;
    const std::filesystem::path path = folder / fileName;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::filesystem::remove(path, error);
    return std::fopen(path.string().c_str(), "a");
}

}  // namespace brinecore
