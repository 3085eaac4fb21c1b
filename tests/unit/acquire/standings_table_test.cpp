#include "acquire/standings_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AcquireTable, DefaultRowHasElevenEmptyCells) {
    StandingsRow row;
    ASSERT_EQ(row.cells.size(), 11u);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(row[i], "");
}

TEST(AcquireTable, AddStoresACopyAndReturnsTheOldSize) {
    StandingsTable table;
    EXPECT_EQ(table.GetSize(), 0);
    StandingsRow row;
    row[2] = "Nordhafen";
    EXPECT_EQ(table.Add(row), 0);
    row[2] = "changed";
    row[10] = "99";
    EXPECT_EQ(table.Add(row), 1);
    EXPECT_EQ(table.GetSize(), 2);
    EXPECT_EQ(table.ElementAt(0)[2], "Nordhafen");
    EXPECT_EQ(table.ElementAt(0)[10], "");
    EXPECT_EQ(table.ElementAt(1)[2], "changed");
    EXPECT_EQ(table.ElementAt(1)[10], "99");
}

TEST(AcquireTable, RowsHaveValueSemantics) {
    StandingsRow a;
    a[0] = "x";
    StandingsRow b = a;
    b[0] = "y";
    EXPECT_EQ(a[0], "x");
    a = b;
    EXPECT_EQ(a[0], "y");
}

TEST(AcquireTable, KeepsTheHeaderAndTheFirst255TeamsOnly) {
    StandingsTable table;
    StandingsRow row;
    for (int i = 0; i < 300; ++i) {
        row[2] = "team " + std::to_string(i);
        EXPECT_EQ(table.Add(row), i < 256 ? i : -1);
    }
    EXPECT_EQ(table.GetSize(), 256);
    EXPECT_EQ(table.ElementAt(255)[2], "team 255");
}

TEST(AcquireTable, RemoveAllEmptiesTheTableForGood) {
    StandingsTable table;
    StandingsRow row;
    for (int i = 0; i < 20; ++i) table.Add(row);
    table.RemoveAll();
    EXPECT_EQ(table.GetSize(), 0);
    EXPECT_EQ(table.Add(row), 0);
}

}  // namespace
