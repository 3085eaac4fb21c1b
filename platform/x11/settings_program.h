#pragma once
// The settings dialog runs in a program of its own, vemo-settings, so that
// the saver itself never loads GTK: vemo /c starts it and waits.

#include <string>
#include <vector>

#include "app/startup.h"

// The dialog program: next to the running vemo (a build tree, or an install
// that keeps both in one place), else where the install puts it.
std::string SettingsProgramPath();

// Runs the dialog over `choice`, offering `clubs` (ISO 8859-1) in its Club
// field, and waits for it. True when the user confirmed; `choice` then holds
// what was chosen. False after Cancel, or when the program could not run or
// failed, with the reason in `error` (empty after a plain Cancel).
bool RunSettingsProgram(const std::string& program, bool activeParent, SettingsChoice& choice,
                        const std::vector<std::string>& clubs, std::string& error);
