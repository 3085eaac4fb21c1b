#include "platform/x11/monitors_x11.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace {

void AddClipped(std::vector<Rect>& out, int x, int y, int w, int h, int width, int height) {
    const Rect r{std::max(x, 0), std::max(y, 0), std::min(x + w, width), std::min(y + h, height)};
    if (!r.IsEmpty() && std::find(out.begin(), out.end(), r) == out.end()) out.push_back(r);
}

}  // namespace

std::vector<Rect> MonitorAreas(Display* display, Window root, int width, int height) {
    std::vector<Rect> areas;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        if (XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &count)) {
            for (int i = 0; i < count; ++i) {
                const XRRMonitorInfo& m = monitors[i];
                AddClipped(areas, m.x, m.y, m.width, m.height, width, height);
            }
            XRRFreeMonitors(monitors);
        }
        if (!areas.empty()) return areas;
    }
    if (XineramaIsActive(display)) {
        int count = 0;
        if (XineramaScreenInfo* screens = XineramaQueryScreens(display, &count)) {
            for (int i = 0; i < count; ++i) {
                const XineramaScreenInfo& s = screens[i];
                AddClipped(areas, s.x_org, s.y_org, s.width, s.height, width, height);
            }
            XFree(screens);
        }
    }
    return areas;
}
