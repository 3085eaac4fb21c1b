#include "acquire/standings_extractor.h"

StandingsExtractorState theExtractorState;

void StandingsExtractor::OnStartTag(MarkupTag& tag, void*, bool& stop) {
    StandingsExtractorState& s = theExtractorState;
    const std::string& name = tag.name;
    if (name == "thead") s.inHead = true;
    if (name == "tbody") s.inBody = true;
    if (s.inHead && name == "th") s.inHeadCell = true;
    if (s.inBody && name == "td") s.inBodyCell = true;
    // The sort marker the site puts into header cells: nothing after it
    // belongs to the caption.
    if (name == "span") s.inHeadCell = false;
    // A body cell left open ends with the next row.
    if (name == "tr") s.inBodyCell = false;
    stop = false;
}

void StandingsExtractor::OnEndTag(MarkupTag& tag, void*, bool& stop) {
    StandingsExtractorState& s = theExtractorState;
    const std::string& name = tag.name;
    if (name == "thead") s.inHead = false;
    if (name == "tbody") s.inBody = false;
    if (name == "th") s.inHeadCell = false;
    if (name == "td") s.inBodyCell = false;
    stop = false;
}

// Texts are counted, not cells: a cell split by inner tags gives one text per
// piece, and a row that is short or long shifts every later row. That is how
// the site's pages have always been read, so it stays.
void StandingsExtractor::OnText(std::string& text, void*, bool& stop) {
    StandingsExtractorState& s = theExtractorState;
    if (s.inHeadCell) {
        if (s.headColumn == 1) {
            s.workRow[1].clear();
        } else {
            s.workRow[s.headColumn] = text;
        }
        if (s.headColumn == 10) {
            theStandings.Add(s.workRow);
            s.headColumn = 0;
        } else {
            ++s.headColumn;
        }
    }
    if (s.inBodyCell) {
        if (s.bodyColumn == 0) {
            s.workRow[0] = text;
        } else {
            s.workRow[s.bodyColumn == 9 ? 10 : s.bodyColumn + 1] = text;
        }
        if (s.bodyColumn == 9) {
            theStandings.Add(s.workRow);
            s.bodyColumn = 0;
        } else {
            ++s.bodyColumn;
        }
    }
    stop = false;
}

void StandingsExtractor::ResetSharedState() { theExtractorState = StandingsExtractorState{}; }
