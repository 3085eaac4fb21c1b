#pragma once
// Owners for GDI objects and device contexts. Every handle belongs to exactly
// one of these objects; a handle handed to the system for good (a window
// region, say) is released from its owner with Detach.

#include "platform/win32/win32.h"

#include <utility>

// Owns one GDI object and deletes it with DeleteObject.
template <typename Handle>
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(Handle handle) : handle_(handle) {}
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        if (this != &other) {
            DeleteObject();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    Handle GetSafeHandle() const { return handle_; }
    operator Handle() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Takes over a handle; an object already held is deleted first.
    void Attach(Handle handle) {
        DeleteObject();
        handle_ = handle;
    }
    Handle Detach() { return std::exchange(handle_, nullptr); }
    BOOL DeleteObject() {
        if (!handle_) return FALSE;
        BOOL ok = ::DeleteObject(handle_);
        handle_ = nullptr;
        return ok;
    }

protected:
    Handle handle_ = nullptr;
};

class CFont : public CGdiObject<HFONT> {
public:
    using CGdiObject::CGdiObject;
    BOOL CreateFontIndirect(const LOGFONTA* description) {
        Attach(::CreateFontIndirectA(description));
        return handle_ != nullptr;
    }
};

class CBrush : public CGdiObject<HBRUSH> {
public:
    using CGdiObject::CGdiObject;
    BOOL CreateSolidBrush(COLORREF color) {
        Attach(::CreateSolidBrush(color));
        return handle_ != nullptr;
    }
    BOOL CreatePatternBrush(HBITMAP bitmap) {
        Attach(::CreatePatternBrush(bitmap));
        return handle_ != nullptr;
    }
};

class CBitmap : public CGdiObject<HBITMAP> {
public:
    using CGdiObject::CGdiObject;
    BOOL LoadBitmap(HINSTANCE module, UINT id, UINT flags = 0) {
        Attach(static_cast<HBITMAP>(::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, flags)));
        return handle_ != nullptr;
    }
    BOOL CreateCompatibleBitmap(HDC dc, int width, int height) {
        Attach(::CreateCompatibleBitmap(dc, width, height));
        return handle_ != nullptr;
    }
    int GetBitmap(BITMAP* out) const { return ::GetObjectA(handle_, sizeof(BITMAP), out); }
};

class CPalette : public CGdiObject<HPALETTE> {
public:
    using CGdiObject::CGdiObject;
    BOOL CreatePalette(const LOGPALETTE* palette) {
        Attach(::CreatePalette(palette));
        return handle_ != nullptr;
    }
};

class CRgn : public CGdiObject<HRGN> {
public:
    using CGdiObject::CGdiObject;
    BOOL CreateRectRgn(int left, int top, int right, int bottom) {
        Attach(::CreateRectRgn(left, top, right, bottom));
        return handle_ != nullptr;
    }
    // dest = a op b; this object must already hold a region.
    int CombineRgn(HRGN a, HRGN b, int mode) { return ::CombineRgn(handle_, a, b, mode); }
};

// A device context that this object does not own (a paint or client context
// is owned by the derived classes below; a memory context by CreateCompatibleDC).
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC dc) : m_hDC(dc), m_hAttribDC(dc) {}
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // A memory context compatible with `reference` (null: the screen),
    // deleted with this object.
    BOOL CreateCompatibleDC(HDC reference);

    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    HPALETTE SelectPalette(HPALETTE palette, BOOL background) { return ::SelectPalette(m_hDC, palette, background); }
    UINT RealizePalette() { return ::RealizePalette(m_hDC); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
    void FillRect(const RECT* rect, HBRUSH brush) { ::FillRect(m_hDC, rect, brush); }
    BOOL BitBlt(int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, width, height, source, sx, sy, rop);
    }

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;

private:
    bool ownsMemoryDC_ = false;
};

// The client area of a window, GetDC / ReleaseDC.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND window);
    ~CClientDC() override;

private:
    HWND window_;
};

// The whole window including its frame, GetWindowDC / ReleaseDC.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND window);
    ~CWindowDC() override;

private:
    HWND window_;
};

// BeginPaint / EndPaint: validates the update region.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND window);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND window_;
};

// Selects an object into a context and selects the previous one back when
// it goes out of scope, so that no object is deleted while selected.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (previous_) ::SelectObject(dc_, previous_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
