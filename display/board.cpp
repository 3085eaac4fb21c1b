#include "display/board.h"

#include <algorithm>
#include <new>

#include "acquire/standings_table.h"
#include "app/association_table.h"
#include "display/board_layout.h"

namespace {

constexpr int kRowPitch = 17;

// Three draws, taken as blue, green and red in that order.
ColorRef RandomColor(BoardLayout& layout) {
    const int b = layout.Random(256);
    const int g = layout.Random(256);
    const int r = layout.Random(256);
    return Rgb(static_cast<unsigned>(r), static_cast<unsigned>(g), static_cast<unsigned>(b));
}

void BuildScene(BoardLayout& layout, const BoardContent& content) {
    const Rect& bounds = layout.bounds;
    const int w = bounds.right - bounds.left;
    const int h = bounds.bottom - bounds.top;

    const Point p = layout.RandomPoint(100, 40);

    // Title: drops in over the ball's path and leaves before the ball lands.
    const ColorRef titleColor = RandomColor(layout);
    LayoutBox& title = layout.AddBox(content.titleText)
                           .SetFont(kTitleFontSpec)
                           .SetColor(titleColor)
                           .SetPos(p.x, p.y - 70)
                           .MoveBy(0, 20)
                           .FadeIn()
                           .AlignCenter()
                           .SetSteps(70);
    layout.ContinueBox(title).MoveBy(0, 148).SetSteps(30);

    LayoutBox& ball = layout.AddBox("")
                          .SetSteps(200)
                          .SetImage(kBallBitmapId, -1)
                          .AlignCenter()
                          .SetPos(p.x, p.y + 50);
    ball.target = Point{ball.origin.x, ball.origin.y + 148};

    LayoutBox& emblem = layout.ContinueBox(ball);
    emblem.steps = 200;
    emblem.SetImage(static_cast<std::uint16_t>(kFirstEmblemBitmapId + layout.Random(kEmblemCount)), -1);

    Point a = layout.RandomPoint(0, 40);
    if (layout.Random(3) == 0) a = Point{bounds.left + w / 2, bounds.top + h / 2};

    LayoutBox& status = layout.AddBox(content.statusText).After(ball).PlaceBy(a.x + 40, a.y + 40).FadeIn().AlignCenter();
    status.steps = 130;

    const ColorRef webColor = RandomColor(layout);
    LayoutBox& web = layout.AddBox(content.webAddress)
                         .After(status)
                         .SetColor(webColor)
                         .SetFont(kTableFontSpec)
                         .PlaceAt(a.x - 40, a.y - 40)
                         .AlignCenter()
                         .FadeOut();
    web.steps = 250;

    const int flyers = layout.Random(25);
    for (int i = 0; i < flyers; ++i) {
        const Point t = layout.RandomPoint(0, 40);
        const Point q = layout.RandomPoint(0, 40);
        LayoutBox& flyer = layout.AddBox("").After(status).SetImage(kFlyerBitmapId, -1).SetPos(q.x, q.y).MoveTo(t.x, t.y);
        flyer.steps = 150;
        LayoutBox& dart = layout.ContinueBox(flyer);
        dart.steps = 15;
        dart.target = layout.RandomPoint(0, 40);
    }

    ColorRef firstRowColor = RandomColor(layout);
    ColorRef rowColor = RandomColor(layout);
    if (content.teamRow >= 0) {
        firstRowColor = TeamApartColor(firstRowColor);
        rowColor = TeamApartColor(rowColor);
    }
    int y = layout.Random(std::max(0, h - 40));
    const int k = layout.Random(w / 2);

    const StandingsTable& table = content.standings;
    for (int i = 0; i < table.GetSize(); ++i) {
        const StandingsRow& row = table.ElementAt(i);
        const ColorRef color = i == content.teamRow ? kTeamRowColor : i == 0 ? firstRowColor : rowColor;
        const Point exits[9] = {{k, 0}, {0, 0}, {0, y}, {0, 0}, {w, h}, {k, 0}, {k, 0}, {k, 0}, {k, 0}};
        for (int j = 0; j < 9; ++j) {
            const Point q = layout.RandomPoint(0, 40);
            LayoutBox& arrive = layout.AddBox(row[j + 2])
                                    .SetPos(q.x, q.y)
                                    .MoveTo(k + kTableColumnOffsets[j], y)
                                    .SetSteps(40)
                                    .SetColor(color)
                                    .SetFont(kTableFontSpec);
            LayoutBox& stand = layout.ContinueBox(arrive);
            stand.steps = 300;
            LayoutBox& leave = layout.ContinueBox(stand);
            leave.FadeOut();
            leave.target = exits[j];
            leave.steps = 30;
        }
        y += kRowPitch;
    }
}

}  // namespace

ColorRef TeamApartColor(ColorRef color) {
    const auto apart = [](unsigned a, unsigned b) { return a > b ? a - b : b - a; };
    const unsigned distance = apart(GetRValue(color), GetRValue(kTeamRowColor)) +
                              apart(GetGValue(color), GetGValue(kTeamRowColor)) +
                              apart(GetBValue(color), GetBValue(kTeamRowColor));
    if (distance >= 192) return color;
    return Rgb(255 - GetRValue(color), 255 - GetGValue(color), 255 - GetBValue(color));
}

std::string BoardTitleForChampionship(const std::string& code) { return AssociationNameForCode(code.c_str()); }

int ComposeBoard(BoardLayout& layout, Canvas& dc, const BoardContent& content) {
    std::size_t next = 0;
    return ComposeBoard(layout, dc, std::span<const BoardContent>(&content, 1), next);
}

int ComposeBoard(BoardLayout& layout, Canvas& dc, std::span<const BoardContent> scenes, std::size_t& next) {
    // Running out of memory must not end a saver: it would leave the screen
    // to whoever catches the exception (nobody, inside a window procedure).
    // A frame cut short is played again at the next tick.
    int n = 0;
    try {
        n = layout.AnimateFrame(dc);
    } catch (const std::bad_alloc&) {
        return static_cast<int>(layout.BoxCount());
    }
    if (n < 3 && !scenes.empty()) {
        if (next >= scenes.size()) next = 0;
        // A scene half built would play a board with missing cells; the
        // boxes it added go again, and the stage, left with at most the two
        // boxes of the last scene, asks for a new scene at the next frame.
        const std::size_t before = layout.BoxCount();
        try {
            BuildScene(layout, scenes[next]);
            next = (next + 1) % scenes.size();
        } catch (const std::bad_alloc&) {
            layout.DropBoxesFrom(before);
        }
    }
    return n;
}
