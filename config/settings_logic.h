#pragma once
// What the settings dialog shows and how its list maps to the association
// table, shared by the Windows and the GTK dialog.

#include <cstdint>
#include <string>
#include <vector>

#include "display/geometry.h"

// Bitmaps of the dialog.
inline constexpr std::uint16_t kStadiumBitmapId = 140;
inline constexpr int kStadiumPlacement = 2;  // centred
inline constexpr std::uint16_t kBallMaskBitmapId = 138;

// How one ball button is configured after binding.
struct BallButtonSkin {
    int controlId;
    const char* caption;
    ColorRef captionColor;
    std::uint16_t normalId, pressedId, overId, disabledId, focusId, maskId;
    std::int16_t drawMode, border, focusMargin;
    const char* tooltip;
};
extern const BallButtonSkin kOkButtonSkin;
extern const BallButtonSkin kCancelButtonSkin;

// The coloured labels.
inline constexpr const char kChampionshipCaption[] = "Championship:";
inline constexpr const char kClubCaption[] = "Club:";
inline constexpr const char kRotationCaption[] = "Rotation:";
inline constexpr ColorRef kChampionshipCaptionColor = Rgb(255, 255, 0);
inline constexpr ColorRef kInfoTextColor = Rgb(0, 255, 0);

// The information block: five lines separated by single line feeds, the
// last one the maker's web address.
std::string InfoBlockText();

// The list position that shows `code`: the table index of the first entry
// whose code is byte for byte the same, else 0 (the first name).
int PositionForCode(const std::string& code);

// Replaces `code` with the code at list position `position` and returns true;
// for no selection (-1) or any position outside the table it reads nothing,
// leaves `code` as it was and returns false.
bool CodeForPosition(int position, std::string& code);

// The position a typed character moves a drop-down list to, as the Windows
// list does: the next name after `current` (wrapping around) whose first
// letter is the typed one without regard to case; `current` when none is.
int PositionForTypedCharacter(int current, char typed);

// The clubs of the association `code` in table order, where start-up has its
// table: theStandings when it is the `championship` played alone, else the
// league of theRotation. Empty when no table of it is in hand, and the Club
// field is then free text.
std::vector<std::string> ClubsOfLeague(const std::string& code, const std::string& championship);

// The Team value for what the Club field holds: the blanks around the name
// are no part of it.
std::string TeamFromClubField(const std::string& text);

// The list positions a Rotation value checks: its known codes, each once,
// in table order.
std::vector<int> PositionsForRotation(const std::string& rotation);

// The Rotation value for the positions checked: `original` where it names
// exactly these associations (its order kept), else their codes in table
// order, separated by commas; "" for none.
std::string RotationForPositions(const std::vector<int>& positions, const std::string& original);
