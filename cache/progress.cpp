#include "cache/progress.h"

#include "cache/tally.h"

#include <algorithm>
#include <climits>

namespace {

const long long PROGRESS_STEPS = 256;
const int PROGRESS_PAUSE_MS = 15;

int clamp_to_int(long long value)
{
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

bool step_due(const Progress* progress)
{
    return progress->step > 0 && progress->total - progress->shown >= progress->step;
}

// Milliseconds left of the pause after the last position sent.
long long pause_left(const Progress* progress)
{
    auto since = std::chrono::steady_clock::now() - progress->shown_at;
    return PROGRESS_PAUSE_MS -
           std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

} // namespace

Progress progress_start(HWND bar, long long announced)
{
    Progress progress = {bar, 0, 0, 0, 0, {}};
    while ((announced >> progress.shift) > INT_MAX)
        progress.shift++;
    if (announced > 0)
        progress.step = std::max(announced / PROGRESS_STEPS, 1LL);
    SendMessageA(bar, PBM_SETRANGE32, 0, clamp_to_int(announced >> progress.shift));
    tally_body_started(announced);
    return progress;
}

void progress_show(Progress* progress)
{
    SendMessageA(progress->bar, PBM_SETPOS,
                 static_cast<WPARAM>(clamp_to_int(progress->total >> progress->shift)), 0);
    progress->shown = progress->total;
    progress->shown_at = std::chrono::steady_clock::now();
}

void progress_received(Progress* progress, int count)
{
    progress->total += count;
    tally_bytes(count);
    if (step_due(progress) && pause_left(progress) <= 0)
        progress_show(progress);
}

void progress_before_read(Progress* progress, HttpConnection* connection)
{
    if (!step_due(progress))
        return;
    long long left = pause_left(progress);
    if (left <= 0 || !http_wait_readable(connection, static_cast<int>(left)))
        progress_show(progress);
}
