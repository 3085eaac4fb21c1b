#include "acquire/char_reference.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// The page's own spelling of the currency sign is "current", so that is the
// name this table knows for 164.
constexpr std::array<std::string_view, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "current", "yen",    "brvbar", "sect",
    "uml",    "copy",   "ordf",   "laquo",  "not",     "shy",    "reg",    "macr",
    "deg",    "plusmn", "sup2",   "sup3",   "acute",   "micro",  "para",   "middot",
    "cedil",  "sup1",   "ordm",   "raquo",  "frac14",  "frac12", "frac34", "iquest",
    "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",    "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",  "Iacute", "Icirc",  "Iuml",
    "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",   "Otilde", "Ouml",   "times",
    "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",    "Yacute", "THORN",  "szlig",
    "agrave", "aacute", "acirc",  "atilde", "auml",    "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave",  "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",   "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",    "yacute", "thorn",  "yuml",
};

constexpr std::size_t kLongestName = 7;  // "current"

// A name of at most seven bytes packed with its length into one word: the key
// of a small open-addressing table, so that a page made of references costs a
// multiply and a probe or two per reference.
std::uint64_t Key(const char* name, std::size_t n) {
    std::uint64_t key = static_cast<std::uint64_t>(n) << 56;
    for (std::size_t i = 0; i < n; ++i) key |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    return key;
}

constexpr std::size_t kSlots = 256;

std::size_t SlotOf(std::uint64_t key) { return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 56); }

struct ReferenceTable {
    std::uint64_t keys[kSlots] = {};  // 0: free (no key is 0, every name has a length)
    unsigned char codes[kSlots] = {};

    void Put(std::string_view name, unsigned char code) {
        const std::uint64_t key = Key(name.data(), name.size());
        std::size_t i = SlotOf(key);
        while (keys[i] != 0) i = (i + 1) % kSlots;
        keys[i] = key;
        codes[i] = code;
    }
    bool Get(const char* name, std::size_t n, unsigned char& out) const {
        const std::uint64_t key = Key(name, n);
        for (std::size_t i = SlotOf(key); keys[i] != 0; i = (i + 1) % kSlots) {
            if (keys[i] == key) {
                out = codes[i];
                return true;
            }
        }
        return false;
    }
};

// Filled once, before the first page is parsed, and read-only afterwards.
const ReferenceTable& Table() {
    static const ReferenceTable table = [] {
        ReferenceTable t;
        t.Put("quot", 34);
        t.Put("amp", 38);
        t.Put("apos", 39);
        t.Put("lt", 60);
        t.Put("gt", 62);
        for (std::size_t i = 0; i < kLatin1Names.size(); ++i)
            t.Put(kLatin1Names[i], static_cast<unsigned char>(160 + i));
        return t;
    }();
    return table;
}


constexpr std::array<std::string_view, 7> kAccentWords = {"grave", "acute", "circ", "uml", "tilde", "cedil", "ring"};

bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
char ToLower(char c) { return IsUpper(static_cast<unsigned char>(c)) ? static_cast<char>(c - 'A' + 'a') : c; }
char ToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ToLower(a[i]) != ToLower(b[i])) return false;
    return true;
}

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The standard unsigned conversion with a 32-bit unsigned long, as on the
// platform the saver was made for: leading white space, a sign, a "0x"
// prefix in base 16, saturation to 0xFFFFFFFF on overflow, and a negated
// value for a minus sign. Every byte it accepts lies before the ";".
std::uint32_t ReadUnsigned32(const char* p, int base) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(p);
    while (IsSpace(*s)) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    if (base == 16 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && HexDigit(s[2]) >= 0) s += 2;
    std::uint64_t value = 0;
    bool overflow = false;
    for (;; ++s) {
        const int d = base == 16 ? HexDigit(*s) : ((*s >= '0' && *s <= '9') ? *s - '0' : -1);
        if (d < 0) break;
        if (!overflow) {
            value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
            if (value > 0xFFFFFFFFu) overflow = true;
        }
    }
    if (overflow) return 0xFFFFFFFFu;
    const std::uint32_t v = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - v) : v;
}

}  // namespace

std::size_t DecodeCharReference(const char* text, const char* semicolon, unsigned char& out) {
    if (text == nullptr || semicolon == nullptr) return 0;
    const char* q = text;
    while (IsSpace(static_cast<unsigned char>(*q))) ++q;
    if (semicolon < q + 3 || *q != '&') return 0;
    const std::size_t count = static_cast<std::size_t>(semicolon - text) + 1;

    if (q[1] == '#') {
        const unsigned char c = static_cast<unsigned char>(q[2]);
        std::uint32_t value;
        if (c >= '0' && c <= '9')
            value = ReadUnsigned32(q + 2, 10);
        else if (c == 'x' || c == 'X')
            value = ReadUnsigned32(q + 3, 16);
        else
            return 0;
        out = static_cast<unsigned char>(value & 0xFFu);
        return count;
    }

    const std::string_view written(q + 1, static_cast<std::size_t>(semicolon - q - 1));
    // The case rules never change a name's length, so a longer one cannot be
    // in the table; this also keeps a far-away ";" from costing a long copy.
    if (written.size() > kLongestName) return 0;
    // Every name of the table is already in the case its rules give, so a
    // name found as written needs no case rule.
    const ReferenceTable& table = Table();
    if (table.Get(written.data(), written.size(), out)) return count;
    char buffer[kLongestName];
    const std::size_t n = written.size();
    const bool firstUpper = IsUpper(static_cast<unsigned char>(written[0]));
    if (EqualsIgnoreCase(written, "eth") || EqualsIgnoreCase(written, "thorn")) {
        for (std::size_t i = 0; i < n; ++i) buffer[i] = firstUpper ? ToUpper(written[i]) : ToLower(written[i]);
    } else if (EqualsIgnoreCase(written, "oslash")) {
        std::memcpy(buffer, firstUpper ? "Oslash" : "oslash", n);
    } else if (EqualsIgnoreCase(written, "aelig")) {
        std::memcpy(buffer, firstUpper ? "AElig" : "aelig", n);
    } else if (std::any_of(kAccentWords.begin(), kAccentWords.end(),
                           [&](std::string_view w) { return EqualsIgnoreCase(written.substr(1), w); })) {
        buffer[0] = written[0];
        for (std::size_t i = 1; i < n; ++i) buffer[i] = ToLower(written[i]);
    } else {
        for (std::size_t i = 0; i < n; ++i) buffer[i] = ToLower(written[i]);
    }
    if (!table.Get(buffer, n, out)) return 0;
    return count;
}

int DecodeCharReference(const char* text, unsigned char& out) {
    if (text == nullptr) return 0;
    return static_cast<int>(DecodeCharReference(text, std::strchr(text, ';'), out));
}
