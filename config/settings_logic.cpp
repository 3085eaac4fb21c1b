#include "config/settings_logic.h"

#include <cctype>

#include "app/association_table.h"
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
