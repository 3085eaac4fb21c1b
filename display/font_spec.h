#pragma once
// Font specs: the short texts that name every font of the board, such as
// "15,MS Sans Serif" or "22,Arial,B". Fields before the last comma are sizes
// and options; the text after it is the face name.

#include <memory>
#include <string>

#include "display/font.h"

// Reads a FontSpec text into a font description (non-antialiased, variable pitch,
// Arial at 12 pixels character height unless its fields say otherwise).
LogFont FontSpecToLogFont(const std::string& spec);

std::unique_ptr<Font> CreateFontFromSpec(FontFactory& factory, const std::string& spec);
