// The canvas's record of change: the changed rectangles a presenter takes,
// merged as they come, and the tile map with its row summary that tells
// whether a remembered draw's pixels are still on the canvas.
#include "platform/soft/soft_canvas.h"

#include "platform/soft/soft_canvas_parts.h"

using namespace softcanvas;

namespace {

// How far past the last draw found the next one is looked for: a box that
// finished or stopped moving shifts the ones after it by a draw or two.
constexpr std::size_t kLookahead = 16;
// Draws recorded before a canvas that never ends a frame starts anew.
constexpr std::size_t kMaxRecorded = 4096;

// The wide steps where the canvas takes them, else the plain loops.
bool AnyContainsOf(const Rect* c, std::size_t n, const Rect& r, [[maybe_unused]] bool wide) {
#if defined(__x86_64__) || defined(__i386__)
    if (wide) return AnyContainsWide(c, n, r);
#endif
    return AnyContains(c, 0, n, r);
}

std::size_t FirstMergeableOf(const Rect* c, std::size_t n, const Rect& r, std::int64_t area, [[maybe_unused]] bool wide) {
#if defined(__x86_64__) || defined(__i386__)
    if (wide) return FirstMergeableWide(c, n, r, area);
#endif
    return FirstMergeable(c, 0, n, r, area);
}

std::size_t LeastWasteOf(const Rect* c, std::size_t n, const Rect& r, std::int64_t area, [[maybe_unused]] bool wide) {
#if defined(__x86_64__) || defined(__i386__)
    if (wide) return LeastWasteWide(c, n, r, area);
#endif
    return LeastWaste(c, 0, n, r, area);
}

}  // namespace

void SoftCanvas::Changed(const Rect& rect) {
    if (rect.IsEmpty()) return;
    MarkChanged(rect);
    if (tiles_.empty()) return;
    const Rect r = Intersect(rect, Bounds());
    if (r.IsEmpty()) return;
    ++changes_;
    for (int ty = r.top >> kTileShift; ty <= (r.bottom - 1) >> kTileShift; ++ty) {
        std::uint64_t* row = &tiles_[static_cast<std::size_t>(ty) * static_cast<std::size_t>(tilesX_)];
        std::fill(row + (r.left >> kTileShift), row + ((r.right - 1) >> kTileShift) + 1, changes_);
        tileRows_[static_cast<std::size_t>(ty)] = changes_;
    }
}

bool SoftCanvas::StillOnCanvas(const Memo& memo) const {
    const Rect& r = memo.covered;
    if (r.IsEmpty()) return true;
    for (int ty = r.top >> kTileShift; ty <= (r.bottom - 1) >> kTileShift; ++ty) {
        // Most rows of tiles saw no change since the draw: their summary
        // answers without reading the row.
        if (tileRows_[static_cast<std::size_t>(ty)] <= memo.made) continue;
        const std::uint64_t* row = &tiles_[static_cast<std::size_t>(ty) * static_cast<std::size_t>(tilesX_)];
        for (int tx = r.left >> kTileShift; tx <= (r.right - 1) >> kTileShift; ++tx) {
            if (row[tx] > memo.made) return false;
        }
    }
    return true;
}

const SoftCanvas::Memo* SoftCanvas::Recall(const DrawKey& key, std::uint64_t hash) {
    // Started anew here, before anyone holds a record of past_.
    if (present_.size() >= kMaxRecorded) EndFrame();
    const std::size_t end = std::min(past_.size(), cursor_ + kLookahead);
    for (std::size_t i = cursor_; i < end; ++i) {
        if (pastHashes_[i] == hash && past_[i].key == key) {
            cursor_ = i + 1;
            return &past_[i];
        }
    }
    return nullptr;
}

void SoftCanvas::Remember(const DrawKey& key, std::uint64_t hash, const Rect& covered) {
    // Its own changes are under it; later ones must not be.
    Keep(Memo{key, Intersect(covered, Bounds()), changes_}, hash);
}

void SoftCanvas::EndFrame() {
    past_.swap(present_);
    pastHashes_.swap(presentHashes_);
    present_.clear();
    presentHashes_.clear();
    cursor_ = 0;
}

void SoftCanvas::ForgetDraws() {
    past_.clear();
    present_.clear();
    pastHashes_.clear();
    presentHashes_.clear();
    cursor_ = 0;
}

const std::vector<Rect>& SoftCanvas::TakeChangedRects() {
    EndFrame();
    taken_.swap(changed_);
    changed_.clear();
    return taken_;
}

void SoftCanvas::SetChangeTracking(bool on) {
    tracking_ = on;
    if (!on) changed_.clear();
}

void SoftCanvas::MarkChanged(const Rect& rect) {
    if (!tracking_ || rect.IsEmpty()) return;
    Rect r = Intersect(rect, Bounds());
    if (r.IsEmpty()) return;
    const bool wide = wideSteps && Area(Bounds()) < kWideRectsMaxArea;
    // Most changes lie inside one already listed (a box drawn where it was
    // just wiped): nothing to merge then.
    if (AnyContainsOf(changed_.data(), changed_.size(), r, wide)) return;
    // Fold in every rectangle the new one overlaps or nearly adjoins; a
    // merged rectangle may in turn reach others, hence the search from the
    // start after each merge. With the list full the newcomer goes into the
    // partner that wastes least: one pass per draw, where a search over all
    // pairs would run on every draw of a busy frame.
    std::int64_t area = Area(r);
    for (;;) {
        for (;;) {
            const std::size_t i = FirstMergeableOf(changed_.data(), changed_.size(), r, area, wide);
            if (i == changed_.size()) break;
            r = Union(changed_[i], r);
            area = Area(r);
            changed_.erase(changed_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (changed_.size() < kMaxChangedRects) break;
        const std::size_t partner = LeastWasteOf(changed_.data(), changed_.size(), r, area, wide);
        r = Union(changed_[partner], r);
        area = Area(r);
        changed_.erase(changed_.begin() + static_cast<std::ptrdiff_t>(partner));
    }
    changed_.push_back(r);
}
