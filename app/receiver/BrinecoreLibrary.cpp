#include "receiver/BrinecoreLibrary.h"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kelvane {

namespace {

std::filesystem::path ProgramFolder()
{
#if defined(_WIN32)
    // A path that fills the buffer was cut short: its folder is not ours.
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::filesystem::path(path).parent_path()
                                           : std::filesystem::path();
#else
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
#endif
}

void* OpenLibrary(const std::string& path, std::string& why)
{
#if defined(_WIN32)
    void* handle = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (handle == nullptr)
        why = "error " + std::to_string(GetLastError());
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        why = text != nullptr ? text : "unknown error";
    }
#endif
    return handle;
}

void* Entry(void* handle, const char* name)
{
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

}  // namespace

std::string BrinecoreLibrary::FileName()
{
#if defined(_WIN32)
    return "Brinecore.dll";
#elif defined(__APPLE__)
    return "libBrinecore.dylib";
#else
    // The soname: the unversioned name is the development link, which only
    // a system with the library's development files has.
    return "libBrinecore.so.1";
#endif
}

bool BrinecoreLibrary::Load()
{
    if (Tried)
        return Loaded;
    Tried = true;

    // Beside the program (as built), then where it is installed, then the
    // system's search path.
    std::string why;
    const std::filesystem::path folder = ProgramFolder();
    if (!folder.empty()) {
        for (const std::filesystem::path& candidate :
             {folder / FileName(), folder / KELVANE_LIBRARY_FROM_PROGRAM / FileName()}) {
            std::error_code error;
            if (Handle == nullptr && std::filesystem::exists(candidate, error))
                Handle = OpenLibrary(candidate.string(), why);
        }
    }
    if (Handle == nullptr)
        Handle = OpenLibrary(FileName(), why);
    if (Handle == nullptr) {
        LoadProblem = "Unable to load the demodulator library " + FileName() + " (" + why + ").";
        return false;
    }
    AudioToBytesEntry = reinterpret_cast<BrinecoreAudioToBytesFn>(Entry(Handle, "AudioToBytes"));
    ReInitEntry = reinterpret_cast<BrinecoreReInitFn>(Entry(Handle, "ReInit"));
    if (AudioToBytesEntry == nullptr || ReInitEntry == nullptr) {
        LoadProblem = "The demodulator library " + FileName() + " has no entry " +
                      (AudioToBytesEntry == nullptr ? "AudioToBytes" : "ReInit") + ".";
        return false;
    }
    Loaded = true;
    return true;
}

}  // namespace kelvane
