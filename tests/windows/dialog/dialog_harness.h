#pragma once
// Runs a dialog of the program modally with a test body that executes from
// the dialog's own message loop once the dialog is up, and helpers to read
// pixels back from a memory context.

#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "platform/win32/dialog.h"
#include "platform/win32/gdi.h"

// An assertion inside a harness body: records the failure and ends the body
// (the dialog is then ended by the harness).
#define BODY_ASSERT(condition)                                 \
    do {                                                       \
        if (!(condition)) {                                    \
            ADD_FAILURE() << "assertion failed: " #condition;  \
            return false;                                      \
        }                                                      \
    } while (0)

// The result DoModal gives when the body returns without ending the dialog.
inline constexpr INT_PTR kBodyFinished = 1000;
inline constexpr UINT kRunBody = WM_APP + 1;

// Dispatches whatever is posted to this thread, for `ms` milliseconds at most
// and at least once.
void PumpMessages(DWORD ms = 0);

template <typename Dialog>
class Harness : public Dialog {
public:
    template <typename... Args>
    explicit Harness(Args&&... args) : Dialog(std::forward<Args>(args)...) {}

    // Runs once the dialog is up; returns true when it ended the dialog.
    std::function<bool(Harness&)> body;
    // Command notifications the dialog received (control id, code).
    std::vector<std::pair<int, int>> commands;
    // WM_NCLBUTTONDOWN hit-test codes, kept from the system while recording.
    bool interceptCaptionGrab = false;
    std::vector<WPARAM> captionGrabs;
    // How many WM_ICONERASEBKGND the dialog sent itself.
    int iconErases = 0;

    BOOL OnInitDialog() override {
        const BOOL result = Dialog::OnInitDialog();
        this->PostMessage(kRunBody);
        return result;
    }

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == kRunBody) {
            const bool ended = body ? body(*this) : false;
            if (!ended) this->EndDialog(static_cast<int>(kBodyFinished));
            *result = 0;
            return TRUE;
        }
        if (message == WM_COMMAND) commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        if (message == WM_ICONERASEBKGND) ++iconErases;
        if (message == WM_NCLBUTTONDOWN && interceptCaptionGrab) {
            captionGrabs.push_back(wParam);
            *result = 0;
            return TRUE;
        }
        return Dialog::OnWndMsg(message, wParam, lParam, result);
    }
};

// A memory context with a bitmap compatible with the screen, filled with
// one colour.
class MemoryCanvas {
public:
    MemoryCanvas(int width, int height, COLORREF fill);
    ~MemoryCanvas();
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    HDC dc() const { return dc_.GetSafeHdc(); }
    COLORREF At(int x, int y) const { return ::GetPixel(dc_.GetSafeHdc(), x, y); }

private:
    CDC dc_;
    CBitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
};

// The colour of a pixel of a bitmap as a screen-compatible context reads it.
COLORREF BitmapPixel(HBITMAP bitmap, int x, int y);
