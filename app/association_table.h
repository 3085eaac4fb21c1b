#pragma once
// The built-in list of associations the saver can show. Codes are what the
// profile stores and the URL carries; names are what the user picks.

#include <cstddef>

struct AssociationEntry {
    const char* code;  // three lower-case letters; null in the terminating entry
    const char* name;  // display name; null in the terminating entry
};

// 167 entries sorted by display name without regard to case, then one entry
// with neither code nor name. The settings list relies on that order to map
// list positions to table indices one to one.
extern const AssociationEntry AssociationTable[];

constexpr int kAssociationCount = 167;

// Index of the first entry whose code equals `code` byte for byte, or -1.
int FindAssociationIndex(const char* code);

// Code of the entry at `index`, or null when the index is outside the table.
const char* AssociationCodeAt(int index);

// Display name for a code (exact match), or "" when the code is unknown.
const char* AssociationNameForCode(const char* code);
