#pragma once
// UTF-8 names from the results turned into the ISO 8859-1 text the saver
// reads. Letters outside ISO 8859-1 become their plain Latin letters (Ş to
// S, ğ to g, ł to l, ș to s): a byte or a character reference for them
// would come out on the board as some other letter.

#include <string>

// Valid UTF-8 in; every character outside ISO 8859-1 without a plain Latin
// form becomes "?", combining marks are dropped, control characters become
// a space.
std::string TransliterateToLatin1(const std::string& utf8);
