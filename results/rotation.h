#pragma once
// The leagues of a rotation, fetched side by side.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "results/open_results.h"

class HttpClient;

// Makes a client for one league; called on the thread that uses it, so each
// download has a client of its own.
using HttpClientMaker = std::function<std::unique_ptr<HttpClient>()>;

// Fills theRotation with one league per code, in the order given, each
// downloaded on a thread of its own, so that the leagues together take the
// time of the slowest, not the sum. With `server` set, each league's
// standings page comes from that site ("Not connected to the internet"
// offline, "Mistake of data acquisition." when it fails); else its table
// comes from the open results at `places`, with the status line a single
// board would show. Pages are read on the calling thread, since the reader
// fills theStandings. Where no thread can be started the leagues are
// fetched one after the other.
void AcquireRotation(const std::vector<std::string>& codes, const std::string& server,
                     const OpenResultsPlaces& places, bool connected, const HttpClientMaker& makeClient);
