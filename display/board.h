#pragma once
// The standings board: one frame of the stage per call and, whenever the
// stage has almost run empty, a new scene of ball, emblem, title, status
// line, web-address line, small flying balls and the table's cells.

#include <cstddef>
#include <span>
#include <string>

#include "app/product.h"
#include "display/geometry.h"

class BoardLayout;
class Canvas;
class StandingsTable;

struct BoardContent {
    const StandingsTable& standings;
    std::string statusText;
    std::string titleText;                // see BoardTitleForChampionship
    std::string webAddress = kMakerAddress;
    int teamRow = -1;  // the row of the user's club (see FindTeam), -1 for none
};

// The colour of the user's club's row in every scene: gold, which no other
// row wears (see TeamApartColor).
inline constexpr ColorRef kTeamRowColor = Rgb(255, 204, 0);

// The colour a row other than the club's wears when the club is picked out:
// its random colour, or where that would pass for the club's gold, the
// opposite colour.
ColorRef TeamApartColor(ColorRef color);

// The display name of the championship whose code is given, "" when the
// code is not in the association table.
std::string BoardTitleForChampionship(const std::string& code);

// The fonts of a scene.
inline constexpr const char kTitleFontSpec[] = "22,Arial,B";
inline constexpr const char kTableFontSpec[] = "18,MS Sans Serif,B";

// Where cells 2 to 10 of a standings row stand, from the table's left edge.
inline constexpr int kTableColumnOffsets[9] = {0, 200, 230, 260, 290, 320, 350, 380, 410};

// The pictures of a scene, by bitmap resource id.
inline constexpr int kBallBitmapId = 148;
inline constexpr int kFlyerBitmapId = 153;
inline constexpr int kFirstEmblemBitmapId = 156;
inline constexpr int kEmblemCount = 14;

// Plays one frame of `layout` on `dc`; builds the next scene when the stage
// held two boxes or fewer at the start of that frame. Returns what
// AnimateFrame returned, so callers (and the render tool's trace) can see it.
int ComposeBoard(BoardLayout& layout, Canvas& dc, const BoardContent& content);

// The same with the leagues of a rotation: each new scene shows
// `scenes[next]`, and `next` moves on to the one after it.
int ComposeBoard(BoardLayout& layout, Canvas& dc, std::span<const BoardContent> scenes, std::size_t& next);
