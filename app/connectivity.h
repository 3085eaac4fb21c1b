#pragma once
// Whether the machine reports a network connection (other than loopback).
bool IsMachineConnected();
