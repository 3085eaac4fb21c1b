#pragma once
// A canvas that writes one line per drawing operation, in order, and passes
// every call on to the canvas it wraps (if any). The lines are:
//   text L T R B #RRGGBB FORMAT "TEXT"    DrawText; colour = current text colour
//   fill L T R B #RRGGBB                  FillRect
//   image ID DL DT DR DB SL ST SR SB      a section copy (SetDIBitsToDevice);
//                                         source in picture coordinates, top-down
//   stretch ID DL DT DR DB                StretchDIBits of the whole picture
// ID is the picture's resource id (0 when it was not loaded from a resource).
// TEXT is the bytes of the text with \\ \" \t \n \r escaped and every other
// byte below 0x20 or from 0x7F up written as \xHH (upper-case hex).
//
// Without a wrapped canvas text extents come from a fixed metric, so a trace
// depends on nothing but the stage: a line is h pixels high and every byte
// (h + 1) / 2 wide, h being |lfHeight| of the selected font, or 16 when no
// font (or a font of height 0) is selected.

#include <iosfwd>
#include <string>

#include "display/canvas.h"

class TraceCanvas : public Canvas {
public:
    TraceCanvas(Canvas* inner, std::string& out);
    TraceCanvas(Canvas* inner, std::ostream& out);

    // Appends a line of the caller's own (such as a frame header) to the same
    // output, keeping the order.
    void WriteLine(const std::string& line);
    // Hands what was written so far to the stream's file.
    void Flush();

    Font* SelectFont(Font* font) override;
    void SetTextColor(ColorRef color) override;
    void SetBkColor(ColorRef color) override;
    void SetBkMode(int mode) override;
    Size GetTextExtent(const std::string& text) override;
    void DrawText(const std::string& text, const Rect& rect, unsigned format) override;
    void FillRect(const Rect& rect, ColorRef color) override;
    int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                          const DibImage& image) override;
    int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                      int srcHeight, const DibImage& image) override;

    static std::string EscapeText(const std::string& text);
    static std::string ColorText(ColorRef color);  // "#RRGGBB"

private:
    void Emit(const std::string& line);

    Canvas* inner_;
    std::string* outString_ = nullptr;
    std::ostream* outStream_ = nullptr;
    Font* selected_ = nullptr;
    ColorRef textColor_ = 0;
};
