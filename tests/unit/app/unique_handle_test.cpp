// The owner every OS handle lives in: each handle is given back exactly once.
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct LoggedTraits {
    using Handle = int;
    static Handle Empty() { return 0; }
    void Free(int handle) const { freed->push_back(handle); }
    std::vector<int>* freed = nullptr;
};
using Owned = UniqueHandle<LoggedTraits>;

TEST(UniqueHandle, EveryHandleIsGivenBackOnceAndOnlyByItsLastOwner) {
    std::vector<int> freed;
    {
        Owned empty;
        EXPECT_FALSE(empty);
        Owned a(7, LoggedTraits{&freed});
        Owned b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 7);
        Owned c(9, LoggedTraits{&freed});
        c = std::move(b);  // 9 goes back now, 7 moves on
        EXPECT_EQ(freed, (std::vector<int>{9}));
        Owned d(11, LoggedTraits{&freed});
        EXPECT_EQ(d.Release(), 11);  // the system took it back: not ours to free
        Owned e(13, LoggedTraits{&freed});
        e.Reset();
        e.Reset();
        EXPECT_EQ(freed, (std::vector<int>{9, 13}));
    }
    EXPECT_EQ(freed, (std::vector<int>{9, 13, 7}));
}

}  // namespace
