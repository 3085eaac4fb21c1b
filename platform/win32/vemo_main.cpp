// The entry point and the one application object of Vemo.scr.
#include "platform/win32/saver_app.h"

CSaverApp theApp;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    return AfxWinMain(instance, previous, commandLine, showCommand);
}
