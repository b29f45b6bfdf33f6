// Servers nobody meant to meet: bodies cut anywhere, headers without end,
// a status line and nothing else, a reset, a trickle. Whatever they send,
// the cached copy stays as it was, nothing is left under the resource's
// name, the header list keeps to its limits and memory stays bounded.
#include "cache/cachefile.h"
#include "cache/download.h"
#include "net/http_get.h"
#include "net/socket.h"

#include "tests/support/cache_probe.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_server.h"
#include "tests/support/ui_probe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

const size_t body_size = 1024 * 1024;
const std::string cached_bytes("the cached copy\r\n\0with a NUL", 28);
const int64_t cached_time = 1796643523;

#ifndef _WIN32
// The growth of the peak resident set since construction, natively: Linux
// resets the peak (VmHWM) when "5" is written to /proc/self/clear_refs.
struct PeakMemory {
    long start_kib = status_kib("VmRSS:");

    PeakMemory()
    {
        FILE* file = fopen("/proc/self/clear_refs", "w");
        EXPECT_NE(file, nullptr) << "cannot reset the peak resident set";
        if (file) {
            fputs("5", file);
            fclose(file);
        }
    }

    long growth_kib() const { return status_kib("VmHWM:") - start_kib; }

    // A "<field> <n> kB" line of /proc/self/status.
    static long status_kib(const char* field)
    {
        FILE* file = fopen("/proc/self/status", "r");
        long kib = -1;
        char line[256];
        while (file && fgets(line, sizeof line, file)) {
            if (strncmp(line, field, strlen(field)) == 0) {
                kib = strtol(line + strlen(field), nullptr, 10);
                break;
            }
        }
        if (file)
            fclose(file);
        return kib;
    }
};
#endif

struct HeaderList {
    StringList list = {nullptr, 0};
    ~HeaderList() { string_list_free(&list); }

    size_t bytes() const
    {
        size_t total = 0;
        for (int i = 0; i < list.count; i++)
            total += std::string(list.items[i]).size();
        return total;
    }
};

struct HostileServer : testing::Test {
    TestServer server;
    TempDir dir;
    UiProbe ui;
    DownloadState state = {nullptr, &ui.request, 7, nullptr, nullptr};

    ~HostileServer() override { download_state_release(&state); }

    int fetch(const std::string& name)
    {
        std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/" + name;
        return download_resource(url.c_str(), dir.folder().c_str(), &state);
    }

    void put_cached_copy(const std::string& name)
    {
        write_file(dir.file(name), cached_bytes);
        ASSERT_TRUE(cache_file_set_time(dir.file(name).c_str(), cached_time));
    }

    bool cached_copy_kept(const std::string& name)
    {
        return read_file(dir.file(name)) == cached_bytes &&
               modified(dir.file(name)) == cached_time;
    }

    // The same response for a.bin, which has a cached copy, and b.bin,
    // which has none: neither may be written.
    void expect_failed_response(const CannedResponse& response)
    {
        server.on("/a.bin", response);
        server.on("/b.bin", response);
        put_cached_copy("a.bin");
        EXPECT_EQ(fetch("a.bin"), 0);
        EXPECT_TRUE(cached_copy_kept("a.bin"));
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(fetch("b.bin"), -1);
        EXPECT_EQ(ui.messages, std::vector<std::string>{"Error downloading resource"});
        EXPECT_EQ(names_in(dir), std::set<std::string>{"a.bin"});
    }

    // Header lines read from response by http_get, into header.
    void get_header(const CannedResponse& response, HeaderList* header)
    {
        server.on("/a", response);
        HttpConnection connection;
        int s = http_get("127.0.0.1", server.port(), "a", &header->list, nullptr, &connection);
        ASSERT_GE(s, 0);
        http_close(&connection);
    }
};

CannedResponse jar_response()
{
    return http_response("200 OK", {"Content-Length: " + std::to_string(body_size)},
                         pattern(body_size));
}

// How many cuts were tried, and how many did harm.
struct CutRun {
    int corrupted = 0;
    int tried = 0;
};

// Cuts the body after each of cuts bytes with an orderly close, with and
// without a cached copy (the latter only every stride-th cut: each shows a
// message box, slow under Wine). A cut does harm when it changes the copy,
// writes a file for the resource without one, or leaves anything behind.
CutRun cut_everywhere(HostileServer& t, const std::vector<size_t>& cuts, size_t stride)
{
    CutRun run;
    CannedResponse response = jar_response();
    t.put_cached_copy("a.bin");
    for (size_t i = 0; i < cuts.size(); i++) {
        response.close_after = response.head.size() + cuts[i];
        t.server.on("/a.bin", response);
        // A close before the body's length is a failed read, not its end.
        bool sound = t.fetch("a.bin") == 0 && t.cached_copy_kept("a.bin") &&
                     t.state.last_read_count == -1 && t.ui.messages.empty();
        if (i % stride == 0) {
            t.server.on("/b.bin", response);
            sound = sound && t.fetch("b.bin") == -1 &&
                    t.ui.messages == std::vector<std::string>{"Error downloading resource"};
        }
        sound = sound && names_in(t.dir) == std::set<std::string>{"a.bin"};
        if (!sound) {
            ADD_FAILURE() << "cut after " << cuts[i] << " body bytes";
            run.corrupted++;
        }
        run.tried++;
        t.ui.clear();
    }
    return run;
}

#ifdef _WIN32
// Under Wine a 1 MiB download costs some 150 ms: every other boundary, the
// first half of the random offsets and a message box every 32nd cut keep
// the whole suite well under a minute.
const size_t boundary_step = 2;
const int random_cuts = 100;
const size_t message_stride = 32;
#else
const size_t boundary_step = 1;
const int random_cuts = 200;
const size_t message_stride = 1;
#endif

TEST_F(HostileServer, CachedJarSurvivesACutAt4KiBBoundaries)
{
    std::vector<size_t> cuts;
    for (size_t at = 0; at < body_size; at += 4096 * boundary_step)
        cuts.push_back(at);
    CutRun run = cut_everywhere(*this, cuts, message_stride);
    EXPECT_EQ(run.tried, static_cast<int>(body_size / 4096 / boundary_step));
    EXPECT_EQ(run.corrupted, 0);
    EXPECT_EQ(server.connections(), run.tried + (run.tried + static_cast<int>(message_stride) - 1) /
                                                    static_cast<int>(message_stride));
}

TEST_F(HostileServer, CachedJarSurvivesACutAtRandomOffsets)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<size_t> offset(1, body_size - 1);
    std::vector<size_t> cuts;
    for (int i = 0; i < random_cuts; i++)
        cuts.push_back(offset(random));
    CutRun run = cut_everywhere(*this, cuts, message_stride);
    EXPECT_EQ(run.tried, random_cuts);
    EXPECT_EQ(run.corrupted, 0);
}

TEST_F(HostileServer, WholeBodyAfterTheCutsReplacesTheCopy)
{
    // The same server and folder that just refused a cut body take the
    // whole one: the refusals were not a download that never works.
    CannedResponse cut = jar_response();
    cut.close_after = cut.head.size() + body_size - 1;
    expect_failed_response(cut);
    server.on("/a.bin", jar_response());
    EXPECT_EQ(fetch("a.bin"), 1);
    EXPECT_TRUE(read_file(dir.file("a.bin")) == pattern(body_size));
    EXPECT_EQ(names_in(dir), std::set<std::string>{"a.bin"});
}

TEST_F(HostileServer, ResetInTheMiddleOfTheBodyKeepsTheCopy)
{
    CannedResponse response = jar_response();
    response.reset = true;
    // The pause lets the client drain what came and wait in its read when
    // the reset comes.
    response.pause_at = body_size / 2;
    response.close_after = response.head.size() + body_size / 2;
    expect_failed_response(response);
#ifndef _WIN32
    // Wine's select takes the reset's error from the socket, and the read
    // after it then sees an orderly close: the short body still fails, by
    // its length.
    EXPECT_LT(state.last_read_count, 0);
#endif
}

TEST_F(HostileServer, EndlessHeaderStopsAt100Lines)
{
    CannedResponse response;
    response.head = "HTTP/1.0 200 OK\r\n";
    response.endless = "X-Again: and again\r\n";
#ifndef _WIN32
    PeakMemory memory;
#endif
    {
        HeaderList header;
        get_header(response, &header);
        EXPECT_EQ(header.list.count, HTTP_MAX_HEADER_LINES);
        EXPECT_EQ(std::string(header.list.items[0]), "HTTP/1.0 200 OK\r\n");
        EXPECT_EQ(std::string(header.list.items[99]), "X-Again: and again\r\n");
        EXPECT_EQ(http_header_complete(&header.list), 0);
    }
    expect_failed_response(response);
#ifndef _WIN32
    EXPECT_LT(memory.growth_kib(), 4 * 1024);
#endif
}

TEST_F(HostileServer, EndlessHeaderLineStopsAt64KiB)
{
    CannedResponse response;
    response.head = "HTTP/1.0 200 OK\r\nX-Endless: ";
    response.endless = std::string(4096, 'e');
#ifndef _WIN32
    PeakMemory memory;
#endif
    {
        HeaderList header;
        get_header(response, &header);
        EXPECT_LE(header.bytes(), static_cast<size_t>(HTTP_MAX_HEADER_BYTES));
        EXPECT_GT(header.bytes(), static_cast<size_t>(HTTP_MAX_HEADER_BYTES - HTTP_LINE_SIZE));
        EXPECT_LE(header.list.count, HTTP_MAX_HEADER_LINES);
        for (int i = 1; i < header.list.count; i++)
            EXPECT_EQ(std::string(header.list.items[i]).size(), HTTP_LINE_SIZE - 1u);
        EXPECT_EQ(http_header_complete(&header.list), 0);
    }
    expect_failed_response(response);
#ifndef _WIN32
    EXPECT_LT(memory.growth_kib(), 4 * 1024);
#endif
}

TEST_F(HostileServer, HeaderLineOf1MiBIsCutAt64KiB)
{
    std::string value(body_size, 'v');
    CannedResponse response =
        http_response("200 OK", {"X-Long: " + value, "Content-Length: 2"}, "ok");
    HeaderList header;
    get_header(response, &header);
    EXPECT_EQ(std::string(header.list.items[0]), "HTTP/1.0 200 OK\r\n");
    EXPECT_LE(header.bytes(), static_cast<size_t>(HTTP_MAX_HEADER_BYTES));
    EXPECT_EQ(std::string(header.list.items[1]), ("X-Long: " + value).substr(0, 1023));
    EXPECT_EQ(http_header_complete(&header.list), 0);
    expect_failed_response(response);
}

TEST_F(HostileServer, StatusLineOnlyIsAFailedResponse)
{
    CannedResponse line;
    line.head = "HTTP/1.0 200 OK\r\n";
    {
        HeaderList header;
        get_header(line, &header);
        EXPECT_EQ(header.list.count, 1);
        EXPECT_EQ(http_status_code(&header.list), 200);
        EXPECT_EQ(http_header_complete(&header.list), 0);
    }
    expect_failed_response(line);
    ui.clear();

    // Without its line end the status line is not even a line.
    CannedResponse unended;
    unended.head = "HTTP/1.0 200 OK";
    HeaderList header;
    get_header(unended, &header);
    EXPECT_EQ(header.list.count, 0);
    expect_failed_response(unended);
}

TEST_F(HostileServer, TrickleWithinTheTimeOutArrivesWhole)
{
    // One byte a second from the header's last line feed on: each read
    // waits far less than the 60-second receive time-out.
    CannedResponse response = http_response("200 OK", {"Content-Length: 2"}, "ok");
    response.trickle_from = response.head.size() - 1;
    response.trickle_ms = 1000;
    server.on("/a.bin", response);
    put_cached_copy("a.bin");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch("a.bin"), 1);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(2900));
    EXPECT_EQ(read_file(dir.file("a.bin")), "ok");
    EXPECT_EQ(names_in(dir), std::set<std::string>{"a.bin"});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(state.last_read_count, 0);
}

} // namespace
