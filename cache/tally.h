// The whole launch at a glance: how many files the launch's downloads have
// listed and finished, the lengths their servers announced and the bytes
// received, counted by the downloads on the launch's thread and read by the
// window's thread. There is one launch a process, so there is one tally a
// process; its counters are atomic and nobody waits for anybody.
//
// From a reading (TallyFigures) and the time, the window's part makes the
// whole-launch bar's position and its detail line: files done of all,
// bytes done of all, the rate and the time left, in the user's number
// format (NumberStyle). Those texts are made here, portable, so that they
// are tested natively.
#pragma once

#include "cache/winui.h"

#include <cstddef>

// WM_APP + 3, sent to the attached window when a message box is about to
// report a failure (the sender waits until it was handled, at most 5 s):
// the window shows at once and the taskbar its error.
enum : unsigned { TALLY_FAILED_MESSAGE = 0x8003 };

// Tells the tally's failures to main_window (null: to nobody).
void tally_attach(HWND main_window);

// A download list of count files begins.
void tally_files_listed(int count);
// A body begins whose server announced length bytes (0 or less: unknown).
void tally_body_started(long long announced);
// count more body bytes arrived.
void tally_bytes(long long count);
// A listed file is finished, with or without a body.
void tally_file_done(void);
// A message box is about to report a failure.
void tally_failed(void);

// The launch's application by name, for the window's heading (copied).
void tally_set_title(const char* title);
// The title into out (cut to fit size bytes): "" while there is none.
void tally_title(char* out, size_t size);

struct TallyFigures {
    int files_listed;
    int files_done;
    int sized_files;       // bodies begun with an announced length
    int unsized_done;      // files finished without one (kept, 304, unknown length)
    long long sized_bytes; // the announced lengths, summed
    long long bytes_done;  // body bytes received
    bool failed;
};

TallyFigures tally_read(void);

// The launch's bytes in all: the announced lengths, and for every file not
// yet answered the mean of those lengths. 0 while no length is known.
long long tally_bytes_expected(const TallyFigures* figures);

// The whole launch done, in thousandths: by bytes where lengths are known,
// else by files. Never more than 1000.
int tally_permille(const TallyFigures* figures);

// The user's way of writing numbers: the decimal mark and the digit
// grouping mark (either may be empty), each at most 7 bytes of UTF-8.
struct NumberStyle {
    char decimal[8];
    char grouping[8];
};

// "0 bytes", "999 bytes", "1.0 KB" to "999.9 KB", "1.0 MB", ..., "1,234.5 GB";
// one decimal from a kilobyte on (1 KB = 1024 bytes), groups of three.
void tally_size_text(long long bytes, const NumberStyle* style, char* out, size_t size);

// "12 bytes/s", "1.5 MB/s".
void tally_rate_text(double bytes_per_second, const NumberStyle* style, char* out, size_t size);

// "5 s left", "2 min 10 s left", "1 h 5 min left" (seconds rounded up).
void tally_time_left_text(long long seconds, char* out, size_t size);

// What the detail line shows at one moment: rate in bytes a second and
// seconds left, each negative while it cannot be estimated yet.
struct TallyMoment {
    double rate;
    long long seconds_left;
};

// The rate over the last few seconds of readings, for the detail line.
enum { TALLY_SAMPLES = 20 };
struct TallySpeed {
    long long at_ms[TALLY_SAMPLES];
    long long bytes[TALLY_SAMPLES];
    int count;              // readings kept, the oldest first
    long long first_bytes_ms;  // when bytes were first seen; -1 before
};

// Zeroed, with no bytes seen.
TallySpeed tally_speed_start(void);

// Takes the reading figures made at now_ms (a steady clock) and gives the
// moment: the rate once a second of data is in, the time left once the
// rate and the launch's bytes are known.
TallyMoment tally_moment(TallySpeed* speed, long long now_ms, const TallyFigures* figures);

// The detail line: "2 of 3 files, 1.5 MB of 3.0 MB, 800.0 KB/s, 2 s left"
// ("of" a total only when a length is known; the rate and the time left
// only when known). Cut to fit size bytes, always NUL-terminated.
void tally_detail_text(const TallyFigures* figures, const TallyMoment* moment,
                       const NumberStyle* style, char* out, size_t size);
