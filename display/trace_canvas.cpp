#include "display/trace_canvas.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "display/dib_image.h"
#include "display/font.h"

namespace {

std::string RectText(long long l, long long t, long long r, long long b) {
    return std::to_string(l) + ' ' + std::to_string(t) + ' ' + std::to_string(r) + ' ' + std::to_string(b);
}

}  // namespace

TraceCanvas::TraceCanvas(Canvas* inner, std::string& out) : inner_(inner), outString_(&out) {}

TraceCanvas::TraceCanvas(Canvas* inner, std::ostream& out) : inner_(inner), outStream_(&out) {}

void TraceCanvas::Flush() {
    if (outStream_ != nullptr) outStream_->flush();
}

void TraceCanvas::Emit(const std::string& line) {
    if (outString_) {
        outString_->append(line);
        outString_->push_back('\n');
    } else if (outStream_) {
        *outStream_ << line << '\n';
    }
}

void TraceCanvas::WriteLine(const std::string& line) { Emit(line); }

std::string TraceCanvas::EscapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char buf[5];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            } else {
                out.push_back(ch);
            }
        }
    }
    return out;
}

std::string TraceCanvas::ColorText(ColorRef color) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    return buf;
}

Font* TraceCanvas::SelectFont(Font* font) {
    Font* previous = selected_;
    selected_ = font;
    return inner_ ? inner_->SelectFont(font) : previous;
}

void TraceCanvas::SetTextColor(ColorRef color) {
    textColor_ = color;
    if (inner_) inner_->SetTextColor(color);
}

void TraceCanvas::SetBkColor(ColorRef color) {
    if (inner_) inner_->SetBkColor(color);
}

void TraceCanvas::SetBkMode(int mode) {
    if (inner_) inner_->SetBkMode(mode);
}

Size TraceCanvas::GetTextExtent(const std::string& text) {
    if (inner_) return inner_->GetTextExtent(text);
    int height = 16;
    if (selected_) {
        const std::int64_t h = std::llabs(static_cast<long long>(selected_->Description().lfHeight));
        if (h > 0 && h < 0x10000) height = static_cast<int>(h);
    }
    return Size{static_cast<std::int32_t>(text.size()) * ((height + 1) / 2), height};
}

void TraceCanvas::DrawText(const std::string& text, const Rect& rect, unsigned format) {
    Emit("text " + RectText(rect.left, rect.top, rect.right, rect.bottom) + ' ' + ColorText(textColor_) + ' ' +
         std::to_string(format) + " \"" + EscapeText(text) + '"');
    if (inner_) inner_->DrawText(text, rect, format);
}

void TraceCanvas::FillRect(const Rect& rect, ColorRef color) {
    Emit("fill " + RectText(rect.left, rect.top, rect.right, rect.bottom) + ' ' + ColorText(color));
    if (inner_) inner_->FillRect(rect, color);
}

int TraceCanvas::SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                                   const DibImage& image) {
    // Back from the bottom-up source row to the picture's own top-down rows.
    const long long srcBottom = static_cast<long long>(image.GetHeight()) - srcY;
    Emit("image " + std::to_string(image.resourceId()) + ' ' + RectText(x, y, static_cast<long long>(x) + width, static_cast<long long>(y) + height) + ' ' +
         RectText(srcX, static_cast<long long>(srcBottom) - height, static_cast<long long>(srcX) + width, srcBottom));
    if (inner_) return inner_->SetDIBitsToDevice(x, y, width, height, srcX, srcY, image);
    return height > 0 ? height : 0;
}

int TraceCanvas::StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                               int srcHeight, const DibImage& image) {
    Emit("stretch " + std::to_string(image.resourceId()) + ' ' + RectText(x, y, static_cast<long long>(x) + width, static_cast<long long>(y) + height));
    if (inner_) return inner_->StretchDIBits(x, y, width, height, srcX, srcY, srcWidth, srcHeight, image);
    return height > 0 ? height : 0;
}
