#include "app/latin1.h"

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

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool NextUtf8CodePoint(std::string_view utf8, std::size_t& at, char32_t& codePoint) {
    if (at >= utf8.size()) return false;
    const unsigned char c = static_cast<unsigned char>(utf8[at]);
    std::size_t extra;
    char32_t cp;
    if (c < 0x80) {
        codePoint = c;
        ++at;
        return true;
    } else if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return false;
    }
    if (utf8.size() - at <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
        const unsigned char t = static_cast<unsigned char>(utf8[at + k]);
        if ((t & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (t & 0x3F);
    }
    const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
    codePoint = cp;
    at += extra + 1;
    return true;
}

bool DecodeUtf8(std::string_view utf8, std::u32string& out, std::size_t& badOffset) {
    out.clear();
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        if (!NextUtf8CodePoint(utf8, i, cp)) {
            badOffset = i;
            return false;
        }
        out += cp;
    }
    return true;
}

std::string TransliterateToLatin1(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c;
        if (!NextUtf8CodePoint(utf8, i, c)) {
            // Not UTF-8 after all: one replacement per stray byte.
            out += '?';
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) out += ' ';
        else if (c <= 0xFF) out += static_cast<char>(c);
        else if ((c >= 0x300 && c <= 0x36F) || c == 0x200B || c == 0x200D || c == 0xFEFF) continue;
        else out += Plain(c);
    }
    return out;
}
