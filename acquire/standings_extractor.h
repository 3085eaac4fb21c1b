#pragma once
// The MarkupHandler that copies the league table of the standings page into
// theStandings: one header row from the texts of the "thead" cells, then one
// row per ten texts of the "tbody" cells.

#include "acquire/markup_parser.h"
#include "acquire/standings_table.h"

// Where the extractor stands in the page. It is one object for the whole
// process, shared by every extractor, and is never reset by a parse: the page
// is parsed once per run. Only tests and one-shot tools reset it.
struct StandingsExtractorState {
    bool inHead = false;      // between <thead> and </thead>
    bool inBody = false;      // between <tbody> and </tbody>
    bool inHeadCell = false;  // collecting the texts of a header cell
    bool inBodyCell = false;  // collecting the texts of a body cell
    int headColumn = 0;       // next header text's place, 0 to 10
    int bodyColumn = 0;       // next body text's place, 0 to 9
    StandingsRow workRow;     // shared by header and body texts, never cleared
};

extern StandingsExtractorState theExtractorState;

class StandingsExtractor : public MarkupHandler {
public:
    void OnStartTag(MarkupTag& tag, void* userData, bool& stop) override;
    void OnEndTag(MarkupTag& tag, void* userData, bool& stop) override;
    void OnText(std::string& text, void* userData, bool& stop) override;

    // Back to the state of program start.
    static void ResetSharedState();
};
