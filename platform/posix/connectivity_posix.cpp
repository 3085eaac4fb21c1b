// Connected means: some interface other than loopback is up and carries an
// address. A machine with only loopback (or a private network namespace) is
// off line.
#include "app/connectivity.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

bool IsMachineConnected() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool connected = false;
    for (const ifaddrs* a = list; a != nullptr && !connected; a = a->ifa_next) {
        if (a->ifa_addr == nullptr) continue;
        const int family = a->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        if ((a->ifa_flags & IFF_UP) == 0 || (a->ifa_flags & IFF_LOOPBACK) != 0) continue;
        connected = true;
    }
    freeifaddrs(list);
    return connected;
}
