#include "platform/win32/win32.h"

#include "app/connectivity.h"

bool IsMachineConnected() {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
}
