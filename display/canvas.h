#pragma once
// What a frame is drawn on: the subset of a device context the board, the
// images and the dialogs use. One implementation over GDI, one in software.

#include <string>

#include "display/geometry.h"

class Font;
class DibImage;

class Canvas {
public:
    virtual ~Canvas() = default;

    // Returns the previously selected font (null when none was selected).
    virtual Font* SelectFont(Font* font) = 0;
    virtual void SetTextColor(ColorRef color) = 0;
    virtual void SetBkColor(ColorRef color) = 0;
    virtual void SetBkMode(int mode) = 0;

    // Extent of the text on one line in the selected font.
    virtual Size GetTextExtent(const std::string& text) = 0;
    // Draws the text into the rectangle, clipped to it (no DT_NOCLIP).
    virtual void DrawText(const std::string& text, const Rect& rect, unsigned format) = 0;
    // Fills with a solid brush of the colour.
    virtual void FillRect(const Rect& rect, ColorRef color) = 0;

    // The image's palette handling (select, realise, COLORONCOLOR, restore) is
    // the canvas's business; both return the scan lines the platform set.
    virtual int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                                  const DibImage& image) = 0;
    virtual int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                              int srcHeight, const DibImage& image) = 0;
};
