#pragma once
// The animation stage of the standings board: boxes of text or picture that
// glide from a start to a target while fading, wait for one another, and are
// wiped and dropped when their frames run out. Painting is incremental: a
// frame touches only the places where boxes were and are.

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "display/geometry.h"

class BoardLayout;
class Canvas;
class DibImage;
class Font;
class FontFactory;

// LayoutBox::flags
inline constexpr unsigned kBoxFadeIn = 0x01;
inline constexpr unsigned kBoxFadeOut = 0x02;
inline constexpr unsigned kBoxAlignRight = 0x08;
inline constexpr unsigned kBoxAlignCenter = 0x10;
inline constexpr unsigned kBoxAlignMask = kBoxAlignRight | kBoxAlignCenter;

inline constexpr ColorRef kBoxDefaultColor = Rgb(191, 191, 191);
inline constexpr int kBoxDefaultSteps = 20;

struct GlidePoint {
    double x = 0.0, y = 0.0;
};

// A value record living inside its stage's list. Its address stays valid
// until the stage drops it (the frame after its last one) or is destroyed.
class LayoutBox {
public:
    std::string text;
    ColorRef color = kBoxDefaultColor;
    ColorRef curColor = kBoxDefaultColor;
    Point origin;
    Point target;
    Point drawnPos;
    GlidePoint pos;
    std::int32_t steps = kBoxDefaultSteps;
    bool drawn = false;
    unsigned flags = 0;
    Font* font = nullptr;             // none: the stage's defaultFont; owned by the font cache
    const DibImage* image = nullptr;  // none: a text box; owned by the image cache
    std::int32_t frame = -1;          // picture cell index; -1 the whole picture
    bool waiting = false;
    // Follower chain: the first box waiting for this one, and the next box
    // waiting for the same leader as this one.
    LayoutBox* firstFollower = nullptr;
    LayoutBox* nextFollower = nullptr;
    LayoutBox* leader = nullptr;  // the box this one waits for, while it waits
    BoardLayout* owner = nullptr;

    LayoutBox& SetFont(const std::string& spec);
    LayoutBox& SetImage(std::uint16_t resourceId, int frameIndex = -1);
    LayoutBox& SetColor(ColorRef rgb);
    LayoutBox& SetPos(int x, int y);
    LayoutBox& SetPos(Point p) { return SetPos(p.x, p.y); }
    LayoutBox& MoveTo(int x, int y);
    LayoutBox& MoveTo(Point p) { return MoveTo(p.x, p.y); }
    LayoutBox& MoveBy(int dx, int dy);
    LayoutBox& PlaceAt(int x, int y);
    LayoutBox& PlaceAt(Point p) { return PlaceAt(p.x, p.y); }
    LayoutBox& PlaceBy(int dx, int dy);
    LayoutBox& SetSteps(int n);
    LayoutBox& FadeIn();
    LayoutBox& FadeOut();
    LayoutBox& AlignCenter();
    // Freezes this box until `box` has finished. A box waits for one leader at
    // a time: a second call moves it to the new leader's chain. A call that
    // would make the box wait for itself, directly or through a chain of
    // leaders, has no effect, since such a box could never run.
    LayoutBox& After(LayoutBox* box);
    LayoutBox& After(LayoutBox& box) { return After(&box); }
};

class BoardLayout {
public:
    // Creates the default font through `fonts` and seeds the random
    // generator from the clock. `fonts` must outlive the stage.
    explicit BoardLayout(FontFactory& fonts);
    virtual ~BoardLayout();
    BoardLayout(const BoardLayout&) = delete;
    BoardLayout& operator=(const BoardLayout&) = delete;

    Rect bounds;                // the stage; empty until the window sets it
    ColorRef backColor = 0;     // wipes texts
    ColorRef backBrush = 0;     // the black brush that erases pictures
    Font* defaultFont = nullptr;  // "15,MS Sans Serif" from the font cache; null after FreeResources

    LayoutBox& AddBox(const std::string& text);
    // A box that starts where `box` ends, in its colour, font, alignment and
    // picture, once `box` has finished.
    LayoutBox& ContinueBox(LayoutBox& box);

    // Plays one frame. Returns the number of boxes on the stage when the
    // frame began, waiting ones included.
    int AnimateFrame(Canvas& dc);

    // Cached by the exact spec text; created on first use.
    Font* GetFont(const std::string& spec);
    // Cached by id; null when the bitmap cannot be loaded (then nothing is
    // cached and the next call tries again).
    const DibImage* GetImage(std::uint16_t resourceId);

    // 0 .. n-1 (0 for n <= 0), from the generator below.
    int Random(int n);
    // A point inside `bounds`, at least min(margin, extent/2 - keep) pixels
    // (never less than 0) from the low edges and the high edges.
    Point RandomPoint(int margin, int keep);

    // The Windows C runtime's rand: 15-bit values from a 32-bit linear
    // congruential state, so that a seeded scene is the same on every platform.
    void SeedRandom(unsigned seed) { randState_ = seed; }
    int Rand();

    // Releases every cached font and picture together. Boxes still on the
    // stage lose their font and picture references (they would dangle).
    void FreeResources();

    // Removes every box after the first `keep` as if it had never been
    // added: a box that stays is unlinked from them, and one that waited for
    // one of them is released. Allocates nothing, so that it can undo a scene
    // whose build ran out of memory.
    void DropBoxesFrom(std::size_t keep) noexcept;

    const std::list<LayoutBox>& Boxes() const { return boxes_; }
    std::size_t BoxCount() const { return boxes_.size(); }
    std::size_t FontCacheSize() const { return fontCache_.size(); }
    std::size_t ImageCacheSize() const { return imageCache_.size(); }

private:
    void DrawTextBox(Canvas& dc, const LayoutBox& box, ColorRef color, unsigned format);
    void DrawPictureBox(Canvas& dc, const LayoutBox& box, Point newPos, bool live);
    static void ReleaseFollowers(LayoutBox& box);

    FontFactory& fonts_;
    std::map<std::string, std::unique_ptr<Font>> fontCache_;
    std::map<std::uint16_t, std::unique_ptr<DibImage>> imageCache_;
    std::list<LayoutBox> boxes_;
    std::uint32_t randState_ = 1;
};
