// The progress bar of a download. It follows the bytes received, but every
// message to it is a cross-thread call that waits for the window's thread:
// a position is sent when it has moved by a visible step (1/256 of the
// range) and no sooner than 15 ms after the last one, and the final one at
// the end. A length beyond what the bar's int range holds is scaled down by
// a power of two, so that 3 GiB still gives a positive range.
#pragma once

#include "cache/winui.h"
#include "net/http.h"

#include <chrono>

struct Progress {
    HWND bar;
    int shift;        // bar units are bytes shifted right by this
    long long step;   // bytes of one visible step; 0 when the range is empty
    long long total;  // bytes received
    long long shown;  // bytes the bar shows
    std::chrono::steady_clock::time_point shown_at;
};

// Sets the bar's range from the announced length (0 or less: an empty
// range, where only the final position is sent).
Progress progress_start(HWND bar, long long announced);

// Before a read that may wait: a step held back by the pause is shown now,
// unless more bytes arrive on connection before the pause is over anyway.
void progress_before_read(Progress* progress, HttpConnection* connection);

// After count bytes arrived: shows a due step unless the pause forbids.
void progress_received(Progress* progress, int count);

// Sends the position of every byte received so far.
void progress_show(Progress* progress);
