#include "display/board_layout.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iterator>

#include "display/canvas.h"
#include "display/dib_image.h"
#include "display/font.h"
#include "display/font_spec.h"

namespace {

constexpr char kDefaultFontSpec[] = "15,MS Sans Serif";

// One byte of a colour moved by a fade step; s > 0.
std::uint32_t FadeChannel(std::uint32_t cur, std::uint32_t target, bool fadeIn, int s) {
    const int c = static_cast<int>(cur);
    const int t = static_cast<int>(target);
    const int next = fadeIn ? c + (t - c) / s : c - c / s;
    return static_cast<std::uint32_t>(next) & 0xFFu;
}

Rect PlaceRect(Point at, int width, int height) { return Rect{at.x, at.y, at.x + width, at.y + height}; }

// The glide must land on the same pixels on every platform (a seeded scene is
// reproducible), so its steps are computed in plain IEEE double precision.
// 32-bit x86 compilers default to the x87 unit, whose wider intermediates
// now and then move a truncated position by one pixel; there this one
// function is compiled for SSE2.
#if defined(__GNUC__) && defined(__i386__) && !defined(__SSE2_MATH__)
#define SCORVANE_STRICT_DOUBLE __attribute__((target("sse2,fpmath=sse"), noinline))
#else
#define SCORVANE_STRICT_DOUBLE
#endif

SCORVANE_STRICT_DOUBLE void GlideStep(GlidePoint& pos, Point target, int s) {
    pos.x = pos.x + (target.x - pos.x) / s;
    pos.y = pos.y + (target.y - pos.y) / s;
}

}  // namespace

// ---------------------------------------------------------------- LayoutBox

LayoutBox& LayoutBox::SetFont(const std::string& spec) {
    if (owner) font = owner->GetFont(spec);
    return *this;
}

LayoutBox& LayoutBox::SetImage(std::uint16_t resourceId, int frameIndex) {
    image = owner ? owner->GetImage(resourceId) : nullptr;
    frame = frameIndex;
    return *this;
}

LayoutBox& LayoutBox::SetColor(ColorRef rgb) {
    color = curColor = rgb;
    return *this;
}

LayoutBox& LayoutBox::SetPos(int x, int y) {
    origin = drawnPos = Point{x, y};
    pos = GlidePoint{static_cast<double>(x), static_cast<double>(y)};
    return *this;
}

LayoutBox& LayoutBox::MoveTo(int x, int y) {
    target = Point{x, y};
    return *this;
}

LayoutBox& LayoutBox::MoveBy(int dx, int dy) {
    target = Point{origin.x + dx, origin.y + dy};
    return *this;
}

LayoutBox& LayoutBox::PlaceAt(int x, int y) {
    SetPos(x, y);
    target = Point{x, y};
    return *this;
}

LayoutBox& LayoutBox::PlaceBy(int dx, int dy) { return PlaceAt(origin.x + dx, origin.y + dy); }

LayoutBox& LayoutBox::SetSteps(int n) {
    steps = n;
    return *this;
}

LayoutBox& LayoutBox::FadeIn() {
    curColor = 0;
    flags |= kBoxFadeIn;
    return *this;
}

LayoutBox& LayoutBox::FadeOut() {
    flags |= kBoxFadeOut;
    return *this;
}

LayoutBox& LayoutBox::AlignCenter() {
    flags |= kBoxAlignCenter;
    return *this;
}

LayoutBox& LayoutBox::After(LayoutBox* box) {
    if (!box) return *this;
    for (const LayoutBox* b = box; b; b = b->leader)
        if (b == this) return *this;
    if (leader) {
        LayoutBox** link = &leader->firstFollower;
        while (*link && *link != this) link = &(*link)->nextFollower;
        if (*link) *link = nextFollower;
    }
    nextFollower = box->firstFollower;
    box->firstFollower = this;
    leader = box;
    waiting = true;
    return *this;
}

// -------------------------------------------------------------- BoardLayout

BoardLayout::BoardLayout(FontFactory& fonts) : fonts_(fonts) {
    defaultFont = GetFont(kDefaultFontSpec);
    SeedRandom(static_cast<unsigned>(std::time(nullptr)));
}

BoardLayout::~BoardLayout() { FreeResources(); }

LayoutBox& BoardLayout::AddBox(const std::string& text) {
    LayoutBox& box = boxes_.emplace_back();
    box.text = text;
    box.owner = this;
    return box;
}

LayoutBox& BoardLayout::ContinueBox(LayoutBox& box) {
    // Copied before AddBox: `box` stays valid (list nodes never move), but
    // reading it first keeps the order of effects obvious.
    const std::string text = box.text;
    const Point at = box.target;
    const ColorRef color = box.color;
    Font* font = box.font;
    const unsigned align = box.flags & kBoxAlignMask;
    const DibImage* image = box.image;
    const int frame = box.frame;

    LayoutBox& next = AddBox(text);
    next.SetPos(at.x, at.y);
    next.target = at;
    next.SetColor(color);
    next.font = font;
    next.flags |= align;
    next.After(box);
    next.image = image;
    next.frame = frame;
    return next;
}

int BoardLayout::Rand() {
    randState_ = randState_ * 214013u + 2531011u;
    return static_cast<int>((randState_ >> 16) & 0x7FFFu);
}

int BoardLayout::Random(int n) {
    const std::int64_t r = Rand();
    // 64-bit so that a large n cannot overflow; for every n where the 32-bit
    // product fits, the result is the same.
    std::int64_t v = static_cast<std::int64_t>(n) * r / 32767;
    v = std::min<std::int64_t>(v, static_cast<std::int64_t>(n) - 1);
    return v < 0 ? 0 : static_cast<int>(v);
}

Point BoardLayout::RandomPoint(int margin, int keep) {
    auto axis = [&](std::int32_t low, std::int32_t high) {
        const std::int64_t extent = static_cast<std::int64_t>(high) - low;
        std::int64_t inset = std::min<std::int64_t>(margin, extent / 2 - keep);
        if (inset < 0) inset = 0;
        const std::int64_t span = std::clamp<std::int64_t>(extent - 2 * inset, INT32_MIN, INT32_MAX);
        const std::int64_t c = low + inset + Random(static_cast<int>(span));
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(c, INT32_MIN, INT32_MAX));
    };
    const std::int32_t x = axis(bounds.left, bounds.right);
    const std::int32_t y = axis(bounds.top, bounds.bottom);
    return Point{x, y};
}

Font* BoardLayout::GetFont(const std::string& spec) {
    auto it = fontCache_.find(spec);
    if (it != fontCache_.end()) return it->second.get();
    std::unique_ptr<Font> font = CreateFontFromSpec(fonts_, spec);
    Font* raw = font.get();
    if (raw) fontCache_.emplace(spec, std::move(font));
    return raw;
}

const DibImage* BoardLayout::GetImage(std::uint16_t resourceId) {
    auto it = imageCache_.find(resourceId);
    if (it != imageCache_.end()) return it->second.get();
    auto image = std::make_unique<DibImage>();
    if (!image->LoadFromResource(resourceId)) return nullptr;
    const DibImage* raw = image.get();
    imageCache_.emplace(resourceId, std::move(image));
    return raw;
}

void BoardLayout::FreeResources() {
    for (LayoutBox& box : boxes_) {
        box.font = nullptr;
        box.image = nullptr;
    }
    defaultFont = nullptr;
    fontCache_.clear();
    imageCache_.clear();
}

void BoardLayout::ReleaseFollowers(LayoutBox& box) {
    LayoutBox* f = box.firstFollower;
    while (f) {
        LayoutBox* next = f->nextFollower;
        f->waiting = false;
        f->nextFollower = nullptr;
        f->leader = nullptr;
        f = next;
    }
    box.firstFollower = nullptr;
}

void BoardLayout::DropBoxesFrom(std::size_t keep) noexcept {
    if (keep >= boxes_.size()) return;
    auto first = std::next(boxes_.begin(), static_cast<std::ptrdiff_t>(keep));
    for (auto it = first; it != boxes_.end(); ++it) {
        LayoutBox& box = *it;
        if (box.leader) {
            LayoutBox** link = &box.leader->firstFollower;
            while (*link && *link != &box) link = &(*link)->nextFollower;
            if (*link) *link = box.nextFollower;
            box.leader = nullptr;
            box.nextFollower = nullptr;
        }
        ReleaseFollowers(box);
    }
    boxes_.erase(first, boxes_.end());
}

int BoardLayout::AnimateFrame(Canvas& dc) {
    Font* previous = defaultFont ? dc.SelectFont(defaultFont) : nullptr;
    dc.SetBkColor(0);
    dc.SetBkMode(kTransparent);
    int count = 0;

    for (auto it = boxes_.begin(); it != boxes_.end();) {
        const auto current = it++;
        // The next box is asked for while this one is drawn: list nodes lie
        // wherever they were allocated, and between frames other programs
        // have had the caches.
        if (it != boxes_.end()) {
            const char* next = reinterpret_cast<const char*>(&*it);
            for (std::size_t at = 0; at < sizeof(LayoutBox); at += 64) __builtin_prefetch(next + at);
        }
        LayoutBox& box = *current;
        ++count;
        if (box.waiting) continue;

        if (Font* f = box.font ? box.font : defaultFont) dc.SelectFont(f);
        unsigned format = kDtWordBreak;
        if (box.flags & kBoxAlignRight)
            format |= kDtRight;
        else if (box.flags & kBoxAlignCenter)
            format |= kDtCenter;

        const int s = box.steps;
        // A negative count would never reach 0 (and would overflow on the
        // way): such a box is finished like one with 0 steps.
        const bool last = s <= 0;
        bool changed = last;
        Point newPos = box.drawnPos;

        if (box.drawn && box.target != box.origin) {
            if (last) {
                newPos = box.target;
            } else {
                GlideStep(box.pos, box.target, s);
                newPos = Point{static_cast<std::int32_t>(box.pos.x), static_cast<std::int32_t>(box.pos.y)};
            }
            changed = changed || newPos != box.drawnPos;
        }

        if (box.flags & (kBoxFadeIn | kBoxFadeOut)) {
            const bool fadeIn = (box.flags & kBoxFadeIn) != 0;
            if (last) {
                box.curColor = fadeIn ? box.color : 0;
            } else {
                ColorRef c = box.curColor & 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    const std::uint32_t cur = (box.curColor >> shift) & 0xFFu;
                    const std::uint32_t t = (box.color >> shift) & 0xFFu;
                    c |= FadeChannel(cur, t, fadeIn, s) << shift;
                }
                box.curColor = c;
            }
        }

        if (box.image) {
            DrawPictureBox(dc, box, newPos, !last);
        } else if (box.drawn && changed) {
            DrawTextBox(dc, box, backColor, format);
        }
        box.drawn = false;

        if (last) {
            ReleaseFollowers(box);
            boxes_.erase(current);
            continue;
        }
        box.steps = s - 1;
        box.drawnPos = newPos;
        if (!box.image) DrawTextBox(dc, box, box.curColor, format);
        box.drawn = true;
    }

    if (previous) dc.SelectFont(previous);
    return count;
}

void BoardLayout::DrawTextBox(Canvas& dc, const LayoutBox& box, ColorRef color, unsigned format) {
    dc.SetTextColor(color);
    const Size extent = dc.GetTextExtent(box.text);
    const int x = box.drawnPos.x;
    const int y = box.drawnPos.y;
    Rect r{x, y, x, y + 2 * extent.cy + 1};
    if (box.flags & kBoxAlignCenter) {
        r.left = x - extent.cx / 2;
        r.right = x + extent.cx / 2 + 2;
    } else if (box.flags & kBoxAlignRight) {
        r.left = x - extent.cx - 1;
        r.right = x;
    } else {
        r.right = x + extent.cx + 1;
    }
    dc.DrawText(box.text, r, format);
}

void BoardLayout::DrawPictureBox(Canvas& dc, const LayoutBox& box, Point newPos, bool live) {
    const DibImage& image = *box.image;
    const int w = image.GetWidth();
    const int h = image.GetHeight();
    Rect src{0, 0, w, h};
    if (box.frame != -1) {
        // A cell index far past the strip must not overflow: it simply names
        // a cell outside the picture, which copies nothing.
        const std::int64_t left = std::clamp<std::int64_t>(static_cast<std::int64_t>(box.frame) * h, -0x40000000, 0x40000000);
        src = Rect{static_cast<std::int32_t>(left), 0, static_cast<std::int32_t>(left + h), h};
    }
    const int sw = src.Width();
    const int sh = src.Height();
    const int shift = (box.flags & kBoxAlignCenter) ? sw / 2 : 0;

    const Rect old = PlaceRect(Point{box.drawnPos.x - shift, box.drawnPos.y}, sw, sh);
    if (!live) {
        dc.FillRect(old, backBrush);
        return;
    }
    if (newPos != box.drawnPos) {
        // The uncovered part of the old place, as a vertical strip on the side
        // the picture leaves and a horizontal strip over the rest of the
        // width. Strips never reach past the old place: a picture that jumps
        // further than its own size must not black out its surroundings.
        const int dx = std::clamp(newPos.x - box.drawnPos.x, -sw, sw);
        const int dy = std::clamp(newPos.y - box.drawnPos.y, -sh, sh);
        Rect vertical = dx >= 0 ? Rect{old.left, old.top, old.left + dx, old.bottom}
                                : Rect{old.right + dx, old.top, old.right, old.bottom};
        const int restLeft = dx >= 0 ? old.left + dx : old.left;
        const int restRight = dx >= 0 ? old.right : old.right + dx;
        Rect horizontal = dy >= 0 ? Rect{restLeft, old.top, restRight, old.top + dy}
                                  : Rect{restLeft, old.bottom + dy, restRight, old.bottom};
        if (!vertical.IsEmpty()) dc.FillRect(vertical, backBrush);
        if (!horizontal.IsEmpty()) dc.FillRect(horizontal, backBrush);
    }
    const Rect dest = PlaceRect(Point{newPos.x - shift, newPos.y}, sw, sh);
    image.PaintSection(dc, dest, src);
}
