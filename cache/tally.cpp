#include "cache/tally.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

struct Tally {
    std::atomic<HWND> window{nullptr};
    std::atomic<int> files_listed{0};
    std::atomic<int> files_done{0};
    std::atomic<int> sized_files{0};
    std::atomic<int> unsized_done{0};
    std::atomic<long long> sized_bytes{0};
    std::atomic<long long> bytes_done{0};
    // Whether the body now arriving had an announced length.
    std::atomic<bool> body_sized{false};
    std::atomic<bool> failed{false};
    std::mutex title_lock;
    std::string title;
};

Tally tally;

const char* const SIZE_UNITS[] = {"KB", "MB", "GB", "TB"};

// Digits of value with style's grouping mark between groups of three.
std::string grouped(long long value, const NumberStyle* style)
{
    std::string digits = std::to_string(value);
    std::string text;
    for (size_t i = 0; i < digits.size(); i++) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += style->grouping;
        text += digits[i];
    }
    return text;
}

// Whole bytes, or kilobytes and up with one decimal.
std::string size_words(double bytes, const NumberStyle* style)
{
    if (bytes < 1000)
        return std::to_string(static_cast<long long>(bytes)) + " bytes";
    double value = bytes / 1024;
    size_t unit = 0;
    // Switch at 1000 so that "1,000.0 KB" is never written, only "1.0 MB".
    while (std::round(value * 10) >= 10000 && unit + 1 < sizeof SIZE_UNITS / sizeof *SIZE_UNITS) {
        value /= 1024;
        unit++;
    }
    long long tenths = std::llround(value * 10);
    return grouped(tenths / 10, style) + style->decimal + std::to_string(tenths % 10) + " " +
           SIZE_UNITS[unit];
}

// text into out, cut at a whole UTF-8 character when it does not fit.
void put(const std::string& text, char* out, size_t size)
{
    if (size == 0)
        return;
    size_t length = text.size() < size ? text.size() : size - 1;
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            length--;
    }
    memcpy(out, text.data(), length);
    out[length] = '\0';
}

} // namespace

void tally_attach(HWND main_window)
{
    tally.window = main_window;
}

void tally_files_listed(int count)
{
    tally.files_listed += count;
}

void tally_body_started(long long announced)
{
    tally.body_sized = announced > 0;
    if (announced <= 0)
        return;
    tally.sized_bytes += announced;
    tally.sized_files++;
}

void tally_bytes(long long count)
{
    tally.bytes_done += count;
}

void tally_file_done(void)
{
    if (!tally.body_sized.exchange(false))
        tally.unsized_done++;
    tally.files_done++;
}

void tally_failed(void)
{
    tally.failed = true;
#ifdef _WIN32
    // Sent, not posted: the window is up before the box, which then opens
    // over it rather than behind it. Bounded, should the window's thread hang.
    DWORD_PTR ignored = 0;
    if (HWND window = tally.window)
        SendMessageTimeoutA(window, TALLY_FAILED_MESSAGE, 0, 0, SMTO_NORMAL, 5000, &ignored);
#endif
}

void tally_set_title(const char* title)
{
    std::lock_guard<std::mutex> hold(tally.title_lock);
    tally.title = title;
}

void tally_title(char* out, size_t size)
{
    std::lock_guard<std::mutex> hold(tally.title_lock);
    put(tally.title, out, size);
}

TallyFigures tally_read(void)
{
    TallyFigures figures;
    figures.files_listed = tally.files_listed;
    figures.files_done = tally.files_done;
    figures.sized_files = tally.sized_files;
    figures.unsized_done = tally.unsized_done;
    figures.sized_bytes = tally.sized_bytes;
    figures.bytes_done = tally.bytes_done;
    figures.failed = tally.failed;
    return figures;
}

long long tally_bytes_expected(const TallyFigures* figures)
{
    if (figures->sized_files <= 0)
        return 0;
    long long unanswered = figures->files_listed - figures->sized_files - figures->unsized_done;
    long long mean = figures->sized_bytes / figures->sized_files;
    return figures->sized_bytes + (unanswered > 0 ? unanswered * mean : 0);
}

int tally_permille(const TallyFigures* figures)
{
    long long expected = tally_bytes_expected(figures);
    long long done = expected > 0 ? figures->bytes_done : figures->files_done;
    long long all = expected > 0 ? expected : figures->files_listed;
    if (all <= 0 || done >= all)
        return all > 0 ? 1000 : 0;
    return static_cast<int>(done * 1000 / all);
}

void tally_size_text(long long bytes, const NumberStyle* style, char* out, size_t size)
{
    put(size_words(static_cast<double>(bytes < 0 ? 0 : bytes), style), out, size);
}

void tally_rate_text(double bytes_per_second, const NumberStyle* style, char* out, size_t size)
{
    put(size_words(bytes_per_second < 0 ? 0 : bytes_per_second, style) + "/s", out, size);
}

void tally_time_left_text(long long seconds, char* out, size_t size)
{
    if (seconds < 0)
        seconds = 0;
    long long hours = seconds / 3600;
    long long minutes = seconds % 3600 / 60;
    std::string text = hours > 0     ? std::to_string(hours) + " h " + std::to_string(minutes) + " min"
                       : minutes > 0 ? std::to_string(minutes) + " min " +
                                           std::to_string(seconds % 60) + " s"
                                     : std::to_string(seconds) + " s";
    put(text + " left", out, size);
}

TallySpeed tally_speed_start(void)
{
    TallySpeed speed = {};
    speed.first_bytes_ms = -1;
    return speed;
}

TallyMoment tally_moment(TallySpeed* speed, long long now_ms, const TallyFigures* figures)
{
    if (speed->count == TALLY_SAMPLES) {
        memmove(speed->at_ms, speed->at_ms + 1, sizeof speed->at_ms - sizeof *speed->at_ms);
        memmove(speed->bytes, speed->bytes + 1, sizeof speed->bytes - sizeof *speed->bytes);
        speed->count--;
    }
    speed->at_ms[speed->count] = now_ms;
    speed->bytes[speed->count] = figures->bytes_done;
    speed->count++;
    if (speed->first_bytes_ms < 0 && figures->bytes_done > 0)
        speed->first_bytes_ms = now_ms;
    TallyMoment moment = {-1, -1};
    long long span = now_ms - speed->at_ms[0];
    if (speed->first_bytes_ms < 0 || now_ms - speed->first_bytes_ms < 1000 || span <= 0)
        return moment;
    moment.rate = static_cast<double>(figures->bytes_done - speed->bytes[0]) * 1000 / span;
    long long left = tally_bytes_expected(figures) - figures->bytes_done;
    if (moment.rate > 0 && left >= 0 && tally_bytes_expected(figures) > 0)
        moment.seconds_left = static_cast<long long>(std::ceil(left / moment.rate));
    return moment;
}

void tally_detail_text(const TallyFigures* figures, const TallyMoment* moment,
                       const NumberStyle* style, char* out, size_t size)
{
    char part[64];
    std::string text = std::to_string(figures->files_done) + " of " +
                       std::to_string(figures->files_listed) + " files, ";
    tally_size_text(figures->bytes_done, style, part, sizeof part);
    text += part;
    long long expected = tally_bytes_expected(figures);
    if (expected > 0) {
        tally_size_text(expected < figures->bytes_done ? figures->bytes_done : expected, style,
                        part, sizeof part);
        text += std::string(" of ") + part;
    }
    if (moment->rate >= 0) {
        tally_rate_text(moment->rate, style, part, sizeof part);
        text += std::string(", ") + part;
    }
    if (moment->seconds_left >= 0) {
        tally_time_left_text(moment->seconds_left, part, sizeof part);
        text += std::string(", ") + part;
    }
    put(text, out, size);
}
