#pragma once
// Xlib for files that also see the project's drawing headers. Xlib calls its
// font ids `Font`, the name of the project's font class, so the typedef is
// renamed while the X headers are read; it is the same XID either way.

#define Font XlibFontId
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#undef Font
