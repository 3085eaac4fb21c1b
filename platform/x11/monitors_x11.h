#pragma once
// The monitors an X screen is made of, so that each can show a board of its
// own and no table lies across a bezel.

#include "platform/x11/xlib.h"

#include <vector>

#include "display/geometry.h"

// The monitors of the screen of `root` that overlap a window of
// `width` x `height` at the root's corner, clipped to it, in root
// coordinates: RandR's monitors (RandR 1.5), else Xinerama's screens. Empty
// when the server knows neither; a screen of one monitor gives one.
std::vector<Rect> MonitorAreas(Display* display, Window root, int width, int height);
