#include "output/NetworkState.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <sensapi.h>
#else
#include <ifaddrs.h>
#include <net/if.h>
#endif

namespace kelvane {

bool NetworkIsUp()
{
#ifdef _WIN32
    DWORD flags = 0;
    return IsNetworkAlive(&flags) != FALSE;
#else
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return false;
    bool up = false;
    // An interface appears once per address and once more for its link;
    // any of them carries the interface's flags.
    for (const ifaddrs* entry = interfaces; entry != nullptr && !up; entry = entry->ifa_next) {
        const unsigned int flags = entry->ifa_flags;
        up = (flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0 && (flags & IFF_LOOPBACK) == 0;
    }
    freeifaddrs(interfaces);
    return up;
#endif
}

}  // namespace kelvane
