#pragma once
// Text inside the program is ISO 8859-1 bytes; what leaves it for a terminal,
// a toolkit or a font library is UTF-8.

#include <string>
#include <string_view>

std::string Latin1ToUtf8(std::string_view latin1);
