#pragma once
// The one result of a download: the league table as rows of eleven cells.

#include <array>
#include <string>
#include <vector>

struct StandingsRow {
    std::array<std::string, 11> cells;

    std::string& operator[](int i) { return cells[static_cast<size_t>(i)]; }
    const std::string& operator[](int i) const { return cells[static_cast<size_t>(i)]; }
};

// A league never has hundreds of teams: the header and the first 255 teams
// are all a board can sensibly show. A page with more rows (a broken or a
// hostile one) would otherwise hold its cells a second time in the table and
// make every scene a million boxes.
inline constexpr int kMaxStandingsRows = 256;

class StandingsTable {
public:
    // Appends a copy; returns the index of the new row, or -1 when the table
    // already holds kMaxStandingsRows rows and the row is dropped.
    int Add(const StandingsRow& row) {
        if (rows_.size() >= static_cast<size_t>(kMaxStandingsRows)) return -1;
        rows_.push_back(row);
        return static_cast<int>(rows_.size()) - 1;
    }
    int GetSize() const { return static_cast<int>(rows_.size()); }
    // Not range-checked: callers loop from 0 to GetSize() - 1.
    StandingsRow& ElementAt(int i) { return rows_[static_cast<size_t>(i)]; }
    const StandingsRow& ElementAt(int i) const { return rows_[static_cast<size_t>(i)]; }
    // Releases the storage too, not just the rows: a saver that has closed
    // should not keep a large table alive until exit.
    void RemoveAll() { std::vector<StandingsRow>().swap(rows_); }

private:
    std::vector<StandingsRow> rows_;
};

// Filled once by the download, read by the board, emptied when the saver
// window goes away.
extern StandingsTable theStandings;

// One league of a rotation: its association's code, its table and its own
// status line (the table's date, or why there is none).
struct LeagueStandings {
    std::string code;
    StandingsTable standings;
    std::string statusText;
};

// Filled once by start-up when a Rotation is set, else empty; the board then
// shows its leagues in turn instead of theStandings.
extern std::vector<LeagueStandings> theRotation;
