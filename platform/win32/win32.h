#pragma once
// The Windows headers, for every file of the Windows layer. The core's
// interfaces share names with the headers' ANSI/wide switching macros
// (DrawText, CreateFontIndirect, GetProfileString, GetRValue, ...); those
// macros are dropped here, so that a name means the same member in every
// file whatever the include order. Calls into the system name the ANSI
// functions explicitly (DrawTextA, CreateFontIndirectA, ...).

#include <windows.h>
#include <wininet.h>

#undef CreateFontIndirect
#undef DefWindowProc
#undef DrawText
#undef GetBValue
#undef GetGValue
#undef GetObject
#undef GetProfileString
#undef GetRValue
#undef LoadBitmap
#undef PostMessage
#undef SendMessage
#undef WriteProfileString
