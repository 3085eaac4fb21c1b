// Text on the software canvas: lines laid out as DrawText breaks them, and
// their glyphs inked.
#include "platform/soft/soft_canvas.h"

#include <typeinfo>

#include "platform/soft/soft_canvas_parts.h"
#include "platform/soft/soft_font.h"

using namespace softcanvas;

namespace {

// The glyphs of one line a run of pixels at a time, for processors without
// AVX2.
void InkGlyphRuns(SoftFace& face, const std::string& chars, std::int64_t pen, std::int64_t baseline, const Rect& clip,
                  std::uint32_t* pixels, std::size_t stride, std::uint32_t ink, LineBounds& b) {
    for (unsigned char c : chars) {
        const SoftGlyph& g = face.Glyph(c);
        GlyphPlace at;
        if (!Place(g, pen, baseline, clip, b, at)) continue;
        const std::int64_t gx = at.gx, gy = at.gy, c0 = at.c0, c1 = at.c1, r0 = at.r0, r1 = at.r1;
        std::int64_t x0 = c1, x1 = c0, y0 = r1, y1 = r0;
        for (std::int64_t r = r0; r < r1; ++r) {
            std::uint32_t* dst = pixels + static_cast<std::size_t>(gy + r) * stride + gx;
            bool rowChanged = false;
            // Runs are a few pixels long: a plain loop beats FillSpan's.
            for (std::uint32_t k = g.rowStart[static_cast<std::size_t>(r)]; k < g.rowStart[static_cast<std::size_t>(r) + 1]; ++k) {
                const std::int64_t begin = std::max<std::int64_t>(c0, g.runs[k].start);
                const std::int64_t end = std::min<std::int64_t>(c1, g.runs[k].start + g.runs[k].length);
                std::int64_t col = begin;
                while (col < end && dst[col] == ink) ++col;
                // A run wholly outside the clip has begin past end.
                if (col >= end) continue;
                x0 = std::min(x0, col);
                std::int64_t last = col;
                for (; col < end; ++col) {
                    last = dst[col] != ink ? col : last;
                    dst[col] = ink;
                }
                x1 = std::max(x1, last + 1);
                rowChanged = true;
            }
            if (rowChanged) {
                y0 = std::min(y0, r);
                y1 = r + 1;
            }
        }
        if (x0 >= x1) continue;
        b.tx0 = std::min(b.tx0, gx + x0);
        b.tx1 = std::max(b.tx1, gx + x1);
        b.ty0 = std::min(b.ty0, gy + y0);
        b.ty1 = std::max(b.ty1, gy + y1);
    }
}

// The glyphs of one line, with the wide steps where the canvas takes them.
void InkGlyphs(SoftFace& face, const std::string& chars, std::int64_t pen, std::int64_t baseline, const Rect& clip,
               std::uint32_t* pixels, [[maybe_unused]] std::int64_t width, std::size_t stride, std::uint32_t ink,
               LineBounds& b) {
#if defined(__x86_64__) || defined(__i386__)
    if (wideSteps) {
        InkGlyphsWide(face, chars, pen, baseline, clip, pixels, width, stride, ink, b);
        return;
    }
#endif
    InkGlyphRuns(face, chars, pen, baseline, clip, pixels, stride, ink, b);
}

}  // namespace

Font* SoftCanvas::SelectFont(Font* font) {
    Font* previous = selected_;
    selected_ = font;
    // A font the platform could not create leaves the current one in place.
    // The stage selects a font for every box of every frame: the type is
    // compared instead of searched (SoftFont is final), and the face's count
    // of owners is left alone when the face stays.
    if (font == nullptr || typeid(*font) != typeid(SoftFont)) return previous;
    const auto* soft = static_cast<const SoftFont*>(font);
    if (soft->IsValid() && soft->Face() != face_) face_ = soft->Face();
    return previous;
}

Size SoftCanvas::GetTextExtent(const std::string& text) {
    if (!face_) return Size{};
    return Size{face_->TextWidth(text), face_->Height()};
}

// One line of DrawText from `pos`: up to the next line break (unless single
// line), with '&' prefixes resolved, and shortened by word breaking. `pos`
// moves past what the line used, to npos at the end of the text.
void SoftCanvas::NextLine(const std::string& text, std::size_t& pos, std::int64_t maxWidth, unsigned format) {
    const bool singleLine = (format & kDtSingleLine) != 0;
    const bool wordBreak = (format & kDtWordBreak) != 0 && !singleLine;
    const bool prefixes = (format & kSoftDtNoPrefix) == 0;
    const std::size_t n = text.size();

    Line& line = line_;
    line.chars.clear();
    line.width = 0;
    line.prefix = -1;
    std::vector<std::size_t>& sourceEnd = sourceEnd_;  // for each drawn character, where its source ends
    sourceEnd.clear();
    std::size_t i = pos;
    while (i < n && (singleLine || (text[i] != '\r' && text[i] != '\n'))) {
        if (prefixes && text[i] == '&' && n - i > 1) {
            ++i;
            if (text[i] == '&') {
                line.chars += '&';
                sourceEnd.push_back(++i);
            } else if (line.prefix < 0) {
                line.prefix = static_cast<int>(line.chars.size());
            }
            continue;
        }
        line.chars += text[i];
        sourceEnd.push_back(++i);
    }

    // How many characters fit: the longest start whose advances stay within
    // the width.
    std::size_t len = line.chars.size();
    std::size_t fit = 0;
    std::int64_t width = 0;
    while (fit < len) {
        std::int64_t next = width + face_->Advance(static_cast<std::uint8_t>(line.chars[fit]));
        if (next > maxWidth) break;
        width = next;
        ++fit;
    }

    bool broken = false;
    if (fit < len && wordBreak) {
        const std::string& s = line.chars;
        std::size_t p = fit;  // the first character that does not fit
        bool wordFits = true;
        if (fit == 0) {
            // Not even one character fits: the line gets one all the same.
        } else if (s[p] == ' ') {
            --p;
        } else {
            while (p > 0) {
                --p;
                if (s[p] == ' ') break;
            }
            wordFits = p != 0 || s[0] == ' ';
        }
        std::size_t used;
        if (wordFits) {
            // Left-aligned lines keep the blanks that fit; centred and
            // right-aligned ones drop the last of them.
            if ((format & (kDtRight | kDtCenter)) == 0 || s[p] != ' ') ++p;
            len = p;
            used = p;
            if (p < s.size() && s[p] == ' ') ++used;
        } else {
            // The first word alone is too long: it stays whole and is clipped.
            std::size_t q = fit;
            while (q < s.size() && s[q] != ' ') ++q;
            len = q;
            used = q < s.size() ? q + 1 : q;
        }
        i = used == 0 ? pos : sourceEnd[used - 1];
        line.chars.resize(len);
        if (line.prefix >= static_cast<int>(len)) line.prefix = -1;
        broken = true;
    }
    line.width = face_->TextWidth(line.chars);

    if (!broken && i < n && (text[i] == '\r' || text[i] == '\n')) {
        ++i;
        // CR LF and LF CR end one line; CR CR and LF LF end two.
        if (i < n && (text[i] == '\r' || text[i] == '\n') && text[i] != text[i - 1]) ++i;
    }
    pos = i < n ? i : std::string::npos;
}

void SoftCanvas::DrawLine(const Line& line, std::int64_t x, std::int64_t y, const Rect& clip, Rect& touched,
                          Rect& covered) {
    SoftFace& face = *face_;
    const std::uint32_t ink = PixelOf(textColor_);
    // The background fill asks for the same lines itself.
    if (bkMode_ == kOpaque)
        FillClipped(ClampedRect(x, y, x + line.width, y + face.Height()), clip, PixelOf(bkColor_), touched, &covered);
    else
        Prefetch(ClampedRect(x, y, x + line.width, y + face.Height()), clip);

    const std::int64_t baseline = y + face.Ascent();
    LineBounds b;
    InkGlyphs(face, line.chars, x, baseline, clip, pixels_, width_, Stride(), ink, b);
    if (b.cx0 < b.cx1)
        Include(covered, static_cast<int>(b.cx0), static_cast<int>(b.cy0), static_cast<int>(b.cx1), static_cast<int>(b.cy1));
    if (b.tx0 < b.tx1)
        Include(touched, static_cast<int>(b.tx0), static_cast<int>(b.ty0), static_cast<int>(b.tx1), static_cast<int>(b.ty1));

    if (face.Underline()) {
        const std::int64_t top = baseline + face.UnderlineTop();
        FillClipped(ClampedRect(x, top, x + line.width, top + face.UnderlineThickness()), clip, ink, touched, &covered);
    }
    if (face.StrikeOut()) {
        const std::int64_t top = baseline + face.StrikeOutTop();
        FillClipped(ClampedRect(x, top, x + line.width, top + face.StrikeOutThickness()), clip, ink, touched, &covered);
    }
    if (line.prefix >= 0) {
        // The mnemonic's underscore: one row below the baseline, as wide as
        // the character's advance less one pixel.
        const std::size_t n = static_cast<std::size_t>(line.prefix);
        const std::int64_t start = x + face.TextWidth(line.chars.data(), n);
        const std::int64_t end = x + face.TextWidth(line.chars.data(), n + 1) - 1;
        FillClipped(ClampedRect(start, baseline + 1, end, baseline + 2), clip, ink, touched, &covered);
    }
}

void SoftCanvas::DrawText(const std::string& text, const Rect& rect, unsigned format) {
    if (text.empty() || !face_) return;
    DrawKey key;
    std::uint64_t hash = 0;
    const bool memo = skipRepeats_ && text.size() <= kMemoText && !tiles_.empty();
    if (memo) {
        key.words[0] = 1 | (static_cast<std::uint64_t>(format) << 8);
        key.words[1] = face_->Serial();
        key.words[2] = (static_cast<std::uint64_t>(PixelOf(textColor_)) << 32) |
                       (bkMode_ == kOpaque ? (PixelOf(bkColor_) | 0x1000000u) : 0u);
        key.words[3] = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(rect.left)) << 32) |
                       static_cast<std::uint32_t>(rect.top);
        key.words[4] = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(rect.right)) << 32) |
                       static_cast<std::uint32_t>(rect.bottom);
        key.length = static_cast<std::uint32_t>(text.size());
        std::memcpy(key.text, text.data(), text.size());
        hash = key.Hash();
        if (const Memo* m = Recall(key, hash); m != nullptr && StillOnCanvas(*m)) {
            Keep(*m, hash);
            ++skipped_;
            return;
        }
    }

    const bool noClip = (format & kSoftDtNoClip) != 0;
    const bool singleLine = (format & kDtSingleLine) != 0;
    const Rect clip = noClip ? Bounds() : Intersect(rect, Bounds());
    const std::int64_t lineHeight = face_->Height();
    const std::int64_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;

    Rect touched, covered;
    std::size_t pos = 0;
    std::int64_t y = top;
    bool lastLine = false;
    do {
        // The first line that does not fit completely is still drawn,
        // clipped, and ends the output.
        lastLine = !noClip && y + lineHeight > bottom;
        NextLine(text, pos, right - left, format);
        const Line& line = line_;
        std::int64_t x = left;
        if (format & kDtCenter)
            x = (left + right - line.width) / 2;
        else if (format & kDtRight)
            x = right - line.width;
        if (singleLine) {
            if (format & kDtVCenter)
                y = top + (bottom - top) / 2 - lineHeight / 2;
            else if (format & kSoftDtBottom)
                y = bottom - lineHeight;
        }
        if (!clip.IsEmpty()) DrawLine(line, x, y, clip, touched, covered);
        y += lineHeight;
    } while (pos != std::string::npos && !lastLine);
    Changed(touched);
    if (memo) Remember(key, hash, covered);
}
