// Prints what the connectivity probe reports in the network namespace it
// is started in.
#include <cstdio>

#include "app/connectivity.h"

int main() {
    std::puts(IsMachineConnected() ? "connected" : "not connected");
    return 0;
}
