#pragma once
// Runs pages through the tokenizer and the extractor into theStandings, and
// renders rows for exact comparison.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquire/markup_parser.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"

using Row = std::vector<std::string>;  // eleven cells

inline Row MakeRow(const std::vector<std::string>& cells) { return cells; }

inline std::vector<Row> StoredRows() {
    std::vector<Row> rows;
    for (int i = 0; i < theStandings.GetSize(); ++i) {
        const StandingsRow& r = theStandings.ElementAt(i);
        rows.emplace_back(r.cells.begin(), r.cells.end());
    }
    return rows;
}

inline void ExtractPage(const std::string& page) {
    StandingsExtractor extractor;
    MarkupParser parser;
    parser.decodeEntities = true;
    parser.userData = nullptr;
    parser.notifyMask = 0x1f;
    parser.handler = &extractor;
    parser.Parse(page.c_str());
}

// theStandings and the extractor's state are process-wide; each test starts
// from program start.
class FreshStandings : public ::testing::Test {
protected:
    void SetUp() override {
        theStandings.RemoveAll();
        StandingsExtractor::ResetSharedState();
    }
    void TearDown() override {
        theStandings.RemoveAll();
        StandingsExtractor::ResetSharedState();
    }
};
