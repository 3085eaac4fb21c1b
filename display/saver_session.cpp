#include "display/saver_session.h"

#include <cstdlib>

#include "acquire/standings_table.h"
#include "acquire/team_match.h"
#include "app/startup.h"
#include "display/board.h"
#include "display/trace_canvas.h"

SaverSession::SaverSession(FontFactory& fonts, std::string championship) : layout_(fonts) {
    const auto addScene = [this](const StandingsTable& table, const std::string& status, const std::string& code) {
        BoardContent& scene = scenes_.emplace_back(BoardContent{table, status, BoardTitleForChampionship(code)});
        if (!theTeamName.empty()) scene.teamRow = FindTeam(table, theTeamName).row;
    };
    if (theRotation.empty()) {
        addScene(theStandings, theStatusText, championship);
    } else {
        for (const LeagueStandings& league : theRotation) addScene(league.standings, league.statusText, league.code);
    }
}

void SaverSession::Reshape(Size size) { layout_.bounds = Rect{0, 0, size.cx, size.cy}; }

SaverClock::time_point SaverSession::Draw(Canvas& canvas, SaverClock::time_point now) {
    if (freed_) return SaverClock::time_point::max();
    if (theRotation.empty() && scenes_[0].statusText != theStatusText) scenes_[0].statusText = theStatusText;
    ComposeBoard(layout_, canvas, scenes_, nextScene_);
    ++frames_;
    if (!due_) {
        due_ = now + kSaverFramePeriod;
    } else if (now >= *due_) {
        // Keeping to the grid absorbs the jitter of the wake-ups; a frame that
        // came a whole period late or more restarts the grid from now.
        *due_ += kSaverFramePeriod;
        if (*due_ <= now) due_ = now + kSaverFramePeriod;
    }
    return *due_;
}

SaverAction SaverSession::MouseTest(Point pointer) {
    if (!mouseReference_) {
        mouseReference_ = pointer;
        return SaverAction::Nothing;
    }
    const long distance = std::labs(static_cast<long>(pointer.x) - mouseReference_->x) +
                          std::labs(static_cast<long>(pointer.y) - mouseReference_->y);
    return distance > kMouseMoveTolerance ? SaverAction::Close : SaverAction::Nothing;
}

SaverAction SaverSession::OnInput(const SaverInput& input) {
    if (preview_ || freed_) return SaverAction::Nothing;
    switch (input.kind) {
    case SaverInputKind::Key:
        return SaverAction::Close;
    case SaverInputKind::Button:
        return SaverAction::NudgeCursorThenClose;
    case SaverInputKind::PointerMove:
    case SaverInputKind::FocusLost:
        // Losing the focus closes nothing by itself: it tests the pointer
        // like a move.
        return MouseTest(input.pointer);
    }
    return SaverAction::Nothing;
}

SaverClock::time_point DrawTracedFrame(SaverSession& session, TraceCanvas& trace, SaverClock::time_point now) {
    trace.WriteLine("frame " + std::to_string(session.FramesPlayed() + 1));
    const SaverClock::time_point due = session.Draw(trace, now);
    trace.Flush();
    return due;
}

void SaverSession::Free() {
    if (freed_) return;
    freed_ = true;
    layout_.FreeResources();
    theStandings.RemoveAll();
    for (LeagueStandings& league : theRotation) league.standings.RemoveAll();
}

void NudgeSaverCursor(const std::function<Point()>& getCursorPos, const std::function<void(Point)>& setCursorPos) {
    Point p = getCursorPos();
    p.x += 1;
    p.y += 1;
    setCursorPos(p);
    const Point q = getCursorPos();
    if (q.x != p.x && q.y != p.y) p.x -= 2;
    p.y -= 2;
    setCursorPos(p);
}
