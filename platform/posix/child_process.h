#pragma once
// Waiting for a child process, shared by the download's child and the
// settings program.

#include <sys/types.h>

// Waits until `pid` has ended, through interruptions by signals, and
// returns its wait status.
int WaitForExit(pid_t pid);
