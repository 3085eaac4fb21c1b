#pragma once
// What must hold for any command line and any association code read from
// user-writable storage: the switch grammar picks a mode from the first
// switch only, and a code can never change the request the download makes.
// Shared by the fuzz target and the replay test.

#include <cstddef>
#include <cstdint>
#include <string>

#include "acquire/fetch_standings.h"
#include "app/startup.h"
#include "fuzz/check.h"

namespace fuzzcheck {

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline Verdict CheckCommandLine(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::string where = " for " + Show(line);
    const RunMode mode = ParseCommandLine(line);

    const std::size_t i = line.find_first_of("/-");
    if (i == std::string::npos || i + 1 >= line.size()) {
        v.Check(mode.letter == 'C' && mode.parent == 0,
                [&] { return "a line without a switch letter did not give the dialog" + where; });
    } else {
        v.Check(mode.letter == AsciiLower(line[i + 1]),
                [&] { return "the mode is not the letter of the first switch" + where; });
    }
    v.Check(!(mode.letter >= 'A' && mode.letter <= 'Z') || mode.letter == 'C',
            [&] { return "an upper-case mode letter" + where; });
    if (mode.parent != 0) {
        v.Check(mode.letter == 'p', [&] { return "a parent handle for a mode other than preview" + where; });
        v.Check(line.size() > i + 3, [&] { return "a parent handle read from nothing" + where; });
    }
    // "/p 1234" and "/p1234": blanks, then at most nine digits, is that number.
    if (mode.letter == 'p' && line.size() > i + 3) {
        std::size_t k = i + 2;
        while (k < line.size() && (line[k] == ' ' || (line[k] >= '\t' && line[k] <= '\r'))) ++k;
        std::size_t digits = 0;
        std::uintptr_t value = 0;
        while (k + digits < line.size() && line[k + digits] >= '0' && line[k + digits] <= '9' && digits < 10) {
            value = value * 10 + static_cast<std::uintptr_t>(line[k + digits] - '0');
            ++digits;
        }
        if (digits >= 1 && digits <= 9) v.Check(mode.parent == value,
                                                [&] { return "the preview parent is not its number" + where; });
        if (digits == 0 && !(k < line.size() && (line[k] == '+' || line[k] == '-')))
            v.Check(mode.parent == 0, [&] { return "a preview parent from a text without digits" + where; });
    }
    v.Check(ParseCommandLine(line).letter == mode.letter && ParseCommandLine(line).parent == mode.parent,
            [&] { return "the same line read twice differs" + where; });
    return v;
}

inline int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code from the profile as it goes into the standings address.
inline Verdict CheckStandingsAddress(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string code(reinterpret_cast<const char*>(data), size);
    const std::string where = " for the code " + Show(code);
    const std::string encoded = EncodeUrlComponent(code);

    std::string decoded;
    for (std::size_t i = 0; i < encoded.size() && v.ok(); ++i) {
        const char c = encoded[i];
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            decoded += c;
        } else if (v.Check(c == '%' && i + 2 < encoded.size() && HexValue(encoded[i + 1]) >= 0 && HexValue(encoded[i + 2]) >= 0,
                           [&] { return "an encoded code holds " + Show(std::string(1, c)) + where; })) {
            decoded += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
            i += 2;
        }
    }
    v.Check(decoded == code, [&] { return "the encoded code does not decode to itself" + where; });

    ParsedUrl parts;
    const std::string url = ComposeStandingsUrl("standings.invalid:8080", code);
    if (v.Check(ParseUrl(url, parts), [&] { return "the standings address is no URL" + where; })) {
        v.Check(parts.http && parts.host == "standings.invalid" && parts.port == 8080,
                [&] { return "the code changed the server of the standings address" + where; });
        v.Check(parts.path == std::string(kStandingsPathPrefix) + encoded + kStandingsPathSuffix,
                [&] { return "the code changed the path of the standings address" + where; });
    }
    return v;
}

}  // namespace fuzzcheck
