// Stands in for the progress window while the tests call download_resource,
// and records what the download showed: every text set on the status label,
// every range and position sent to the progress bar, every message box.
// Under Wine these are a real "Static" label and "msctls_progress32" bar of
// this thread, watched by subclassing, and message boxes are read and closed
// as they open. Natively the library's window calls are defined here and
// record straight into the active probe. One probe at a time, one thread.
#pragma once

#include "cache/download.h"

#include <string>
#include <utility>
#include <vector>

struct UiProbe {
    UiProbe();
    ~UiProbe();
    UiProbe(const UiProbe&) = delete;
    UiProbe& operator=(const UiProbe&) = delete;

    // Forgets everything recorded so far.
    void clear();

    // main_window null, progress_bar and status_label the probe's own.
    LaunchRequest request;
    std::vector<std::string> labels;
    std::vector<std::pair<int, int>> ranges;  // low, high
    std::vector<int> positions;
    // Text of each message box; each must have had the caption "Error".
    std::vector<std::string> messages;
};
