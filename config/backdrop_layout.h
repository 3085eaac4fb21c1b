#pragma once
// Where the backdrop picture goes and when a mouse move drags the dialog.

#include <vector>

#include "display/geometry.h"

// Placements of the background picture.
inline constexpr int kPlacementTile = 0;
inline constexpr int kPlacementStretch = 1;
inline constexpr int kPlacementCentre = 2;

// Top-left corner of a picture centred in the client area; each half is
// truncated toward zero, so it is negative when the picture is larger.
Point CentredPicturePosition(Size client, Size picture);

// Top-left corners of the tiles covering the client area, row by row; the
// last row and column overhang. Nothing for an empty picture or client.
std::vector<Point> TilePositions(Size client, Size picture);

// Mouse key-state flags of a move.
inline constexpr unsigned kMkLButton = 0x0001;
inline constexpr unsigned kMkRButton = 0x0002;
inline constexpr unsigned kMkShift = 0x0004;
inline constexpr unsigned kMkControl = 0x0008;
inline constexpr unsigned kMkMButton = 0x0010;

// Only a move with the left button and nothing else held drags the dialog.
constexpr bool StartsBackdropDrag(unsigned keyFlags) { return keyFlags == kMkLButton; }
