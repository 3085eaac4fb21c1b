#include "results/latin1_text.h"

#include <cstdint>

namespace {

// U+0100 to U+017F, one plain letter each; '*' marks the four ligatures.
const char kExtendedA[] =
    "AaAaAaCcCcCcCcDd"
    "DdEeEeEeEeEeGgGg"
    "GgGgHhHhIiIiIiIi"
    "Ii**JjKkkLlLlLlL"
    "lLlNnNnNnnNnOoOo"
    "Oo**RrRrRrSsSsSs"
    "SsTtTtTtUuUuUuUu"
    "UuUuWwYyYZzZzZzs";

std::string Plain(char32_t c) {
    if (c >= 0x100 && c <= 0x17F) {
        switch (c) {
            case 0x132: return "IJ";
            case 0x133: return "ij";
            case 0x152: return "OE";
            case 0x153: return "oe";
            default: return std::string(1, kExtendedA[c - 0x100]);
        }
    }
    switch (c) {
        case 0x218: return "S";  // Romanian comma-below letters
        case 0x219: return "s";
        case 0x21A: return "T";
        case 0x21B: return "t";
        case 0x1A0: return "O";
        case 0x1A1: return "o";
        case 0x1AF: return "U";
        case 0x1B0: return "u";
        case 0x2018: case 0x2019: case 0x201A: case 0x201B: case 0x2032: return "'";
        case 0x201C: case 0x201D: case 0x201E: case 0x2033: return "\"";
        case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2212: return "-";
        case 0x2026: return "...";
        case 0x2009: case 0x200A: case 0x202F: case 0x2007: return " ";
        default: return "?";
    }
}

}  // namespace

std::string TransliterateToLatin1(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > utf8.size()) {
            // Not UTF-8 after all: one replacement per stray byte.
            out += '?';
            ++i;
            continue;
        }
        char32_t c = length == 1 ? b : static_cast<char32_t>(b & (0x7F >> length));
        bool valid = true;
        for (std::size_t k = 1; k < length; ++k) {
            const auto cont = static_cast<unsigned char>(utf8[i + k]);
            valid = valid && (cont & 0xC0) == 0x80;
            c = (c << 6) | (cont & 0x3F);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        i += length;
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) out += ' ';
        else if (c <= 0xFF) out += static_cast<char>(c);
        else if ((c >= 0x300 && c <= 0x36F) || c == 0x200B || c == 0x200D || c == 0xFEFF) continue;
        else out += Plain(c);
    }
    return out;
}
