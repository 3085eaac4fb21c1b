#pragma once
// A static text drawn in a colour of the program's choosing with no
// background of its own, so that the text stands directly on whatever the
// parent painted beneath it; its font can be switched to bold.

#include "platform/win32/win32.h"

#include "platform/win32/dialog.h"
#include "platform/win32/gdi.h"

class CColorLabel : public CStatic {
public:
    CColorLabel();
    ~CColorLabel() override;

    // Stores the colour and repaints the whole label with erase.
    BOOL SetTextColor(COLORREF color);
    // Replaces the label's own font with one made from `font` and gives it
    // to the control.
    BOOL SetLogFont(const LOGFONTA& font);
    // The description of the control's current font. FALSE, with `font`
    // untouched, when the control has no font (the system font is drawn
    // then, which has no description to adjust).
    BOOL GetLogFont(LOGFONTA& font);
    // The current font at weight 700 (bold) or 0 (the mapper's default).
    // FALSE when the control has no font to start from.
    BOOL SetBold(bool bold);

    COLORREF TextColor() const { return m_textColor; }
    HFONT OwnFont() const { return m_font.GetSafeHandle(); }

    // The colour request the parent reflects back: transparent text in the
    // label's colour on the hollow brush.
    HBRUSH CtlColor(HDC dc, UINT controlType);
    BOOL OnEraseBkgnd(HDC dc);

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    CFont m_font;
    COLORREF m_textColor;
    HBRUSH m_hollowBrush;
};
