#include "acquire/standings_extractor.h"

StandingsExtractorState theExtractorState;

namespace {

// Which of the few tag names the extractor cares about a tag carries. Every
// tag of the page passes through here, so the length decides first and at
// most one literal of that length is compared, byte for byte.
enum class TagKind { kOther, kThead, kTbody, kTh, kTd, kTr, kSpan };

TagKind KindOf(const std::string& name) {
    const char* n = name.data();
    switch (name.size()) {
        case 2:
            if (n[0] != 't') return TagKind::kOther;
            if (n[1] == 'h') return TagKind::kTh;
            if (n[1] == 'd') return TagKind::kTd;
            if (n[1] == 'r') return TagKind::kTr;
            return TagKind::kOther;
        case 4:
            return n[0] == 's' && n[1] == 'p' && n[2] == 'a' && n[3] == 'n' ? TagKind::kSpan : TagKind::kOther;
        case 5:
            if (n[0] != 't') return TagKind::kOther;
            if (n[1] == 'h' && n[2] == 'e' && n[3] == 'a' && n[4] == 'd') return TagKind::kThead;
            if (n[1] == 'b' && n[2] == 'o' && n[3] == 'd' && n[4] == 'y') return TagKind::kTbody;
            return TagKind::kOther;
        default:
            return TagKind::kOther;
    }
}

}  // namespace

void StandingsExtractor::OnStartTag(MarkupTag& tag, void*, bool& stop) {
    StandingsExtractorState& s = theExtractorState;
    switch (KindOf(tag.name)) {
        case TagKind::kThead: s.inHead = true; break;
        case TagKind::kTbody: s.inBody = true; break;
        case TagKind::kTh:
            if (s.inHead) s.inHeadCell = true;
            break;
        case TagKind::kTd:
            if (s.inBody) s.inBodyCell = true;
            break;
        // The sort marker the site puts into header cells: nothing after it
        // belongs to the caption.
        case TagKind::kSpan: s.inHeadCell = false; break;
        // A body cell left open ends with the next row.
        case TagKind::kTr: s.inBodyCell = false; break;
        case TagKind::kOther: break;
    }
    stop = false;
}

void StandingsExtractor::OnEndTag(MarkupTag& tag, void*, bool& stop) {
    StandingsExtractorState& s = theExtractorState;
    switch (KindOf(tag.name)) {
        case TagKind::kThead: s.inHead = false; break;
        case TagKind::kTbody: s.inBody = false; break;
        case TagKind::kTh: s.inHeadCell = false; break;
        case TagKind::kTd: s.inBodyCell = false; break;
        default: break;
    }
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
