// The board when memory runs out: every allocation of this test program can
// be made to fail after a given number, so that each place of a scene build
// where the heap is asked is tried once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "acquire/standings_table.h"
#include "display/board.h"
#include "display/board_layout.h"
#include "display_test_support.h"

namespace {

// Allocations still granted; negative: no limit.
long allowance = -1;
bool refused = false;

void* Allocate(std::size_t size) {
    if (allowance == 0) {
        refused = true;
        throw std::bad_alloc();
    }
    if (allowance > 0) --allowance;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace displaytest;

constexpr int kRows = 3;

struct Stage {
    Stage() {
        for (int i = 0; i < kRows; ++i) {
            StandingsRow r;
            for (int c = 2; c < 11; ++c) r[c] = "row " + std::to_string(i) + " cell " + std::to_string(c);
            table.Add(r);
        }
        AddBoardPictures(store);
        layout.bounds = Rect{0, 0, 800, 600};
        layout.SeedRandom(7);
    }
    CountingFontFactory fonts;
    MemoryResourceStore store;
    ScopedStore scope{&store};
    BoardLayout layout{fonts};
    RecordingCanvas dc;
    StandingsTable table;
    BoardContent content{table, "status", "Germany"};

    // One frame with at most `granted` allocations; whether they ran out.
    bool ComposeWith(long granted, int& result) {
        dc.Clear();
        struct Limit {
            explicit Limit(long n) { refused = false, allowance = n; }
            ~Limit() { allowance = -1; }  // also when an exception escapes
        } limit(granted);
        result = ComposeBoard(layout, dc, content);
        return refused;
    }
    // Title (2), ball, emblem, status, web address, two boxes per small
    // flying ball and three per shown cell.
    std::size_t FullScene() const {
        std::size_t flyers = 0;
        for (const LayoutBox& b : layout.Boxes()) flyers += b.image != nullptr && b.steps == 150;
        return 6 + 2 * flyers + 27u * kRows;
    }
};

TEST(BoardOutOfMemory, EveryFailedFirstBuildLeavesTheStageEmptyAndTheNextFrameBuilds) {
    long granted = 0;
    for (;; ++granted) {
        Stage s;
        int n = -1;
        if (!s.ComposeWith(granted, n)) {
            ASSERT_EQ(n, 0);
            ASSERT_EQ(s.layout.BoxCount(), s.FullScene());
            break;
        }
        ASSERT_EQ(s.layout.BoxCount(), 0u) << "after " << granted << " allocations";
        ASSERT_EQ(s.ComposeWith(-1, n), false);
        ASSERT_EQ(n, 0) << "after " << granted << " allocations";
        ASSERT_EQ(s.layout.BoxCount(), s.FullScene()) << "after " << granted << " allocations";
    }
    // Each allocation of a build was made to fail once: there are many.
    EXPECT_GT(granted, 27 * kRows);
}

TEST(BoardOutOfMemory, AFailedLaterBuildKeepsTheLastScenesBoxesWhichFinishNormally) {
    for (long granted : {0L, 20L, 60L}) {
        Stage s;
        int n = -1;
        do s.ComposeWith(-1, n);
        while (s.layout.BoxCount() > 2);
        // The next frame builds the second scene: it runs out on the way.
        ASSERT_TRUE(s.ComposeWith(granted, n)) << granted;
        EXPECT_LE(n, 2);
        const std::size_t kept = s.layout.BoxCount();
        ASSERT_LE(kept, 2u);
        for (const LayoutBox& b : s.layout.Boxes()) {
            EXPECT_FALSE(b.waiting);
            EXPECT_EQ(b.firstFollower, nullptr);
        }
        // The frame after plays what was kept and builds the scene behind it.
        ASSERT_FALSE(s.ComposeWith(-1, n));
        EXPECT_EQ(n, static_cast<int>(kept));
        EXPECT_LE(s.layout.BoxCount() - s.FullScene(), kept) << granted;
    }
}

}  // namespace
