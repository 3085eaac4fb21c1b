#include "config/settings_logic.h"

#include <algorithm>
#include <cctype>

#include "acquire/standings_table.h"
#include "app/association_table.h"
#include "app/startup.h"
#include "app/product.h"
#include "config/dialog_template.h"

const BallButtonSkin kOkButtonSkin = {
    kIdOk, "OK", Rgb(0, 255, 255), 143, 146, 147, 0, 0, kBallMaskBitmapId, 0, 0, 0, "OK button",
};
const BallButtonSkin kCancelButtonSkin = {
    kIdCancel, "Cancel", Rgb(255, 0, 0), 148, 154, 155, 0, 0, kBallMaskBitmapId, 0, 0, 0, "Cancel button",
};

std::string InfoBlockText() {
    std::string text = "Scorvane\nRelease 2.4, July 01 2009\n\nTarnwick Team\n";
    text += kMakerAddress;
    return text;
}

int PositionForCode(const std::string& code) {
    for (int i = 0; AssociationTable[i].name != nullptr; ++i) {
        if (code == AssociationTable[i].code) return i;
    }
    return 0;
}

bool CodeForPosition(int position, std::string& code) {
    const char* found = AssociationCodeAt(position);
    if (found == nullptr) return false;
    code = found;
    return true;
}

int PositionForTypedCharacter(int current, char typed) {
    const int wanted = std::tolower(static_cast<unsigned char>(typed));
    if (current < -1 || current >= kAssociationCount) current = -1;
    for (int step = 1; step <= kAssociationCount; ++step) {
        const int i = (current + step) % kAssociationCount;
        const unsigned char first = static_cast<unsigned char>(AssociationTable[i].name[0]);
        if (std::tolower(first) == wanted) return i;
    }
    return current;
}

std::vector<std::string> ClubsOfLeague(const std::string& code, const std::string& championship) {
    const StandingsTable* table = nullptr;
    if (theRotation.empty()) {
        if (code == championship) table = &theStandings;
    } else {
        for (const LeagueStandings& league : theRotation)
            if (league.code == code) table = &league.standings;
    }
    std::vector<std::string> clubs;
    if (table == nullptr) return clubs;
    // Row 0 is the header.
    for (int i = 1; i < table->GetSize(); ++i)
        if (!table->ElementAt(i)[2].empty()) clubs.push_back(table->ElementAt(i)[2]);
    return clubs;
}

std::string TeamFromClubField(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<int> PositionsForRotation(const std::string& rotation) {
    std::vector<std::string> unknown;
    std::vector<int> positions;
    for (const std::string& code : ParseRotation(rotation, unknown)) positions.push_back(FindAssociationIndex(code.c_str()));
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

std::string RotationForPositions(const std::vector<int>& positions, const std::string& original) {
    std::vector<int> wanted = positions;
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    if (wanted == PositionsForRotation(original)) return original;
    std::string text;
    for (const int position : wanted) {
        const char* code = AssociationCodeAt(position);
        if (code == nullptr) continue;
        if (!text.empty()) text += ',';
        text += code;
    }
    return text;
}
