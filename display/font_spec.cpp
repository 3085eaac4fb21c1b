#include "display/font_spec.h"

#include <cstdint>
#include <cstring>

namespace {

// atoi as the C runtime reads it (leading blanks, a sign, then digits), but
// saturating instead of overflowing.
std::int32_t ReadDecimal(const std::string& text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT64_C(0x80000000)) value = INT64_C(0x80000000);
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<std::int32_t>(value);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A field that the size-and-option rules ignore: the only kind that can be a
// face name standing before a trailing option letter.
bool IsPlainName(const std::string& field) {
    if (field.empty()) return false;
    const char c = field[0];
    return !(IsDigit(c) || c == '-' || c == 'B' || c == 'C' || c == 'I' || c == 'S' || c == 'U');
}

void ApplyField(LogFont& lf, const std::string& field) {
    switch (field[0]) {
    case 'B':
        lf.lfWeight = field.size() == 1 ? 700 : ReadDecimal(field, 1);
        break;
    case 'C':
        if (field.size() >= 3) lf.lfCharSet = static_cast<std::uint8_t>(ReadDecimal(field, 2));
        break;
    case 'I':
        lf.lfItalic = 1;
        break;
    case 'S':
        lf.lfStrikeOut = 1;
        break;
    case 'U':
        lf.lfUnderline = 1;
        break;
    default:
        if (IsDigit(field[0]) || field[0] == '-') {
            const std::int32_t v = ReadDecimal(field, 0);
            lf.lfHeight = v == INT32_MIN ? INT32_MAX : -v;
        }
        break;
    }
}

void SetFace(LogFont& lf, const std::string& face) {
    std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
    std::memcpy(lf.lfFaceName, face.data(), face.size() < 31 ? face.size() : 31);
}

}  // namespace

LogFont FontSpecToLogFont(const std::string& spec) {
    LogFont lf;
    lf.lfHeight = -12;
    lf.lfWeight = 400;
    lf.lfCharSet = 0;
    lf.lfQuality = 3;            // non-antialiased: a text redrawn in black must leave no trace
    lf.lfPitchAndFamily = 0x12;  // variable pitch, roman family
    SetFace(lf, "Arial");

    const std::size_t lastComma = spec.rfind(',');
    if (lastComma == std::string::npos) {
        if (!spec.empty()) SetFace(lf, spec);
        return lf;
    }

    std::string face = spec.substr(lastComma + 1);
    std::size_t fieldsEnd = lastComma;  // fields are read up to here
    std::string trailingOption;
    // "22,Arial,B": a lone option letter after a plain name makes the name
    // the face and applies the letter, instead of giving a face called "B".
    if (face.size() == 1 && (face[0] == 'B' || face[0] == 'I' || face[0] == 'S' || face[0] == 'U')) {
        const std::size_t before = lastComma == 0 ? std::string::npos : spec.rfind(',', lastComma - 1);
        const std::size_t nameStart = before == std::string::npos ? 0 : before + 1;
        const std::string name = spec.substr(nameStart, lastComma - nameStart);
        if (IsPlainName(name)) {
            trailingOption = face;
            face = name;
            fieldsEnd = nameStart;  // the name is no field any more
        }
    }

    std::size_t at = 0;
    while (at < fieldsEnd) {
        std::size_t comma = spec.find(',', at);
        if (comma == std::string::npos || comma > fieldsEnd) comma = fieldsEnd;
        if (comma > at) ApplyField(lf, spec.substr(at, comma - at));
        at = comma + 1;
    }
    if (!trailingOption.empty()) ApplyField(lf, trailingOption);
    if (!face.empty()) SetFace(lf, face);
    return lf;
}

std::unique_ptr<Font> CreateFontFromSpec(FontFactory& factory, const std::string& spec) {
    return factory.CreateFontIndirect(FontSpecToLogFont(spec));
}
