#pragma once
// Fixed texts of the program.

// The agent name sent with every request, and the base name of the Windows
// program (which is also its registry key).
inline constexpr const char kProductTag[] = "Vemo";

// Shown on the board's web-address line and in the settings dialog's
// information block. A neutral address of this project: it names no company.
inline constexpr const char kMakerAddress[] = "www.scorvane.example";
