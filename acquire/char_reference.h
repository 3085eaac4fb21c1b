#pragma once
// Character references of the standings page (&amp;, &uuml;, &#252;, &#xFC;)
// turned into the single ISO 8859-1 byte they stand for.

#include <cstddef>

// text starts, after optional white space, at an "&". Returns the number of
// bytes consumed through the first ";" and stores the byte, or returns 0 and
// leaves out alone when text does not start a reference this table knows.
int DecodeCharReference(const char* text, unsigned char& out);

// The same decoder for scanners that already know where the first ";" of
// text is (null when there is none before the terminating NUL): a page full
// of "&" without a ";" must not be searched to its end once per "&".
std::size_t DecodeCharReference(const char* text, const char* semicolon, unsigned char& out);
