#pragma once
// A canvas in memory: a 32-bit framebuffer with the drawing operations of a
// Windows device context that the board and the dialogs use, and the list of
// rectangles changed since the last presentation.
//
// Pixels are 32-bit words 0x00RRGGBB, row after row from the top, `Stride()`
// words apart; in memory on a little-endian machine that is B, G, R, 0, the
// layout of a 24-bit-depth X11 ZPixmap image, so that the canvas can draw
// straight into such an image (`UseMemory`). A new canvas is black and has
// no changed rectangles.
//
// A text or picture draw that repeats one whose pixels are still on the
// canvas (same text, font, colours, format and rectangle, or the same
// section of the same picture at the same place, and no pixel under it
// changed since) is not done again: the stage draws every standing box
// anew each frame, and the result would be the pixels already there.
//
// Text follows DrawText: lines broken at blanks (a word too long for the
// line stays whole on a line of its own and is clipped), line feeds and
// carriage returns start lines unless DT_SINGLELINE is given, '&' marks the
// next character as underlined unless kDtNoPrefix is given, and the output
// is clipped to the rectangle. Section copies follow SetDIBitsToDevice on a
// bottom-up DIB: the source y names the bottom row of the section, counted
// from the picture's bottom.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/canvas.h"
#include "display/geometry.h"

class SoftFace;

// DrawText bits the board does not use but the canvas honours.
inline constexpr unsigned kSoftDtBottom = 0x08;
inline constexpr unsigned kSoftDtNoClip = 0x100;
inline constexpr unsigned kSoftDtNoPrefix = 0x800;

class SoftCanvas final : public Canvas {
public:
    // `stockFont`, when valid, is what the canvas draws with until a valid
    // font is selected, as a device context starts with the system font.
    SoftCanvas(int width, int height, const Font* stockFont = nullptr);
    ~SoftCanvas() override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Words per row.
    std::size_t Stride() const { return stride_; }
    const std::uint32_t* Pixels() const { return pixels_; }
    // 0x00RRGGBB; 0 outside the framebuffer.
    std::uint32_t PixelAt(int x, int y) const;

    // Rectangles (clipped to the framebuffer) that together cover every pixel
    // written since the last call, merged where they overlap or lie close,
    // and at most kMaxChangedRects of them. Empties the list; what it returns
    // stays valid until the next call.
    const std::vector<Rect>& TakeChangedRects();
    const std::vector<Rect>& ChangedRects() const { return changed_; }
    static constexpr std::size_t kMaxChangedRects = 32;
    // Off for a canvas nobody presents, such as the render tool's; on by
    // default.
    void SetChangeTracking(bool on);

    // A new size starts black and counts as changed all over.
    void Resize(int width, int height);
    // Draws from now on into `pixels` (height rows of `stride` words, at
    // least width each), memory someone else owns and keeps until the next
    // Resize or UseMemory, such as a shared image. It is cleared black and
    // counts as changed all over.
    void UseMemory(std::uint32_t* pixels, int width, int height, std::size_t stride);

    // Ends a frame: the next one is expected to repeat its draws in their
    // order. TakeChangedRects ends one too; a canvas that never ends one
    // starts a new record every few thousand draws.
    void EndFrame();

    // Whether repeated draws are recognised and left out; on by default.
    // Off draws everything, for comparing the two.
    void SetSkipRepeatedDraws(bool on);
    // Draws left out since construction.
    std::uint64_t SkippedDraws() const { return skipped_; }
    void Clear(ColorRef color);

    // 0x00RRGGBB of a COLORREF, and back.
    static std::uint32_t ToPixel(ColorRef color);
    static ColorRef ToColorRef(std::uint32_t pixel);

    // Where the processor has AVX2, text is inked eight pixels a step and
    // the changed rectangles are weighed four at a time; else a run of
    // pixels and a rectangle at a time. Pixels and reported changes are the
    // same either way. Returns whether the wide steps are used from now on,
    // which they cannot be without AVX2. For every canvas of the process.
    static bool SetWideSteps(bool on);

    // Canvas
    Font* SelectFont(Font* font) override;
    void SetTextColor(ColorRef color) override { textColor_ = color; }
    void SetBkColor(ColorRef color) override { bkColor_ = color; }
    void SetBkMode(int mode) override { bkMode_ = mode; }
    Size GetTextExtent(const std::string& text) override;
    void DrawText(const std::string& text, const Rect& rect, unsigned format) override;
    void FillRect(const Rect& rect, ColorRef color) override;
    int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                          const DibImage& image) override;
    int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                      int srcHeight, const DibImage& image) override;

    ColorRef TextColor() const { return textColor_; }
    ColorRef BkColor() const { return bkColor_; }
    int BkMode() const { return bkMode_; }

private:
    struct Line {
        std::string chars;  // what is drawn: prefix marks removed
        int width = 0;
        int prefix = -1;  // index in chars of the underlined character
    };
    struct DibView;
    struct DrawKey;
    struct Memo;

    // Fills `line_` with the next line from `pos`.
    void NextLine(const std::string& text, std::size_t& pos, std::int64_t maxWidth, unsigned format);
    // Positions are 64-bit: a rectangle near the ends of the 32-bit range
    // must not overflow on the way to being clipped away. `covered` grows by
    // every pixel the draw may write, `touched` by those it changed.
    void DrawLine(const Line& line, std::int64_t x, std::int64_t y, const Rect& clip, Rect& touched, Rect& covered);
    void Prefetch(const Rect& rect, const Rect& clip) const;
    void FillClipped(const Rect& rect, const Rect& clip, std::uint32_t pixel, Rect& touched, Rect* covered = nullptr);
    Rect Bounds() const { return Rect{0, 0, width_, height_}; }
    // Every pixel change goes through here: the changed rectangles and the
    // record of what may lie under a remembered draw.
    void Changed(const Rect& rect);
    void MarkChanged(const Rect& rect);
    void Adopt(std::uint32_t* pixels, int width, int height, std::size_t stride);

    // The remembered draws, kept in the order they came: a frame repeats
    // the draws of the frame before in the same order, so each is looked for
    // a few places after the last one found, and the records are read and
    // written as a stream. A draw found there, with nothing changed under
    // its pixels since, is skipped and its record carried over; every other
    // draw is done and recorded anew.
    const Memo* Recall(const DrawKey& key, std::uint64_t hash);
    bool StillOnCanvas(const Memo& memo) const;
    // Inline (soft_canvas_parts.h): every skipped draw goes through it.
    inline void Keep(const Memo& memo, std::uint64_t hash);
    void Remember(const DrawKey& key, std::uint64_t hash, const Rect& covered);
    void ForgetDraws();

    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    std::uint32_t* pixels_ = nullptr;
    std::vector<std::uint32_t> own_;  // the pixels, unless UseMemory gave others
    std::vector<Rect> changed_;
    std::vector<Rect> taken_;  // TakeChangedRects's result: both keep their storage
    bool tracking_ = true;

    bool skipRepeats_ = true;
    std::uint64_t changes_ = 0;          // pixel-changing draws so far
    std::vector<std::uint64_t> tiles_;   // per tile: the last change that touched it
    int tilesX_ = 0;
    // Per row of tiles, the last change in any of them: a frame of standing
    // boxes asks about ~190 rectangles, and the whole tile map (65 KB at
    // 1920x1080) has left the cache since the last frame.
    std::vector<std::uint64_t> tileRows_;
    std::vector<Memo> past_;                 // the last frame's draws
    std::vector<Memo> present_;              // this frame's so far
    std::vector<std::uint64_t> pastHashes_;  // the hash of past_[i]'s key, packed apart
    std::vector<std::uint64_t> presentHashes_;
    std::size_t cursor_ = 0;                 // where in past_ the next draw is expected
    std::uint64_t skipped_ = 0;
    Line line_;                          // NextLine's result, its storage reused
    std::vector<std::size_t> sourceEnd_;  // NextLine's scratch
    std::vector<std::uint32_t> rowScratch_;  // a picture row in canvas pixels
    // Colour tables of pictures drawn lately, in canvas pixels, each with the
    // header bytes it was made from: the darting balls are drawn every frame.
    struct Palette {
        std::uint8_t quads[4 * 256];
        std::uint32_t pixels[256];
        int size = -1;
    };
    std::unique_ptr<Palette[]> palettes_;
    unsigned nextPalette_ = 0;
    static constexpr unsigned kPalettes = 4;

    Font* selected_ = nullptr;
    std::shared_ptr<SoftFace> face_;  // what text is drawn with
    ColorRef textColor_ = 0;          // a fresh device context: black on white, opaque
    ColorRef bkColor_ = Rgb(255, 255, 255);
    int bkMode_ = kOpaque;
};
