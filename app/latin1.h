#pragma once
// Text inside the program is ISO 8859-1 bytes. What leaves it for a terminal,
// a toolkit or a font library is UTF-8, and what comes in as UTF-8 (match
// results, a user's CSV file) is made ISO 8859-1 here: one module, one
// UTF-8 decoder.

#include <cstddef>
#include <string>
#include <string_view>

std::string Latin1ToUtf8(std::string_view latin1);

// The code point at `at`, strictly (no overlong forms, no surrogates, nothing
// past U+10FFFF), `at` moved past it; false, `at` unmoved, for an invalid or
// cut sequence there.
bool NextUtf8CodePoint(std::string_view utf8, std::size_t& at, char32_t& codePoint);

// The whole text to code points; on failure `badOffset` is the byte offset
// of the first invalid sequence.
bool DecodeUtf8(std::string_view utf8, std::u32string& out, std::size_t& badOffset);

// Names from UTF-8 sources for the board. Letters outside ISO 8859-1 become
// their plain Latin letters (Ş to S, ğ to g, ł to l, ș to s): a byte or a
// character reference for them would come out on the board as some other
// letter. Characters without a plain form become "?", combining marks are
// dropped, control characters become a space, and each byte of an invalid
// sequence becomes "?".
std::string TransliterateToLatin1(const std::string& utf8);
