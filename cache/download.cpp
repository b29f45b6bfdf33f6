#include "cache/download.h"

#include "base/fileutil.h"
#include "base/log.h"
#include "cache/cachefile.h"
#include "cache/jar.h"
#include "cache/label.h"
#include "cache/progress.h"
#include "cache/stored_name.h"
#include "cache/tally.h"
#include "net/cause.h"
#include "net/http.h"
#include "net/origin.h"
#include "net/proxy.h"
#include "net/url.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

enum { HEADER_SIZE = 256, URL_SIZE = 2048, MAX_REDIRECTS = 5, MESSAGE_SIZE = 320 };

// A URL as the log shows it: without the user and password it may carry.
struct Shown {
    explicit Shown(const char* url) { url_strip_credentials(url, text, sizeof text); }
    char text[URL_SIZE];
};

long long milliseconds_since(std::chrono::steady_clock::time_point start)
{
    auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

// The cause the network library left, for a log line.
std::string why(void)
{
    char text[CAUSE_TEXT_SIZE + 32];
    cause_describe(text, sizeof text);
    return text;
}

// The error's end of a download: logged, and shown unless silent (a
// launch's work that nobody watches).
int show_error(const char* message, bool silent)
{
    log_line("%s: %s", silent ? "not shown" : "message", message);
    if (silent)
        return -1;
    tally_failed();
    MessageBoxA(nullptr, message, "Error", MB_ICONERROR | MB_OK);
    return -1;
}

int cannot_write(const char* path, bool silent)
{
    log_line("cannot write %s", path);
    return show_error("Error cannot write resource", silent);
}

// Nothing new was written: the local copy, if there is one, serves.
int use_cached_copy(const char* local, bool cached, bool silent)
{
    if (!cached)
        return show_error("Error downloading resource", silent);
    log_line("the cached copy serves: %s", local);
    return DOWNLOAD_HELD_BACK;
}

// A Content-Length value that is a plain decimal count, into *length.
bool parse_length(const char* text, long long* length)
{
    char* end = nullptr;
    if (*text < '0' || *text > '9')
        return false;
    *length = strtoll(text, &end, 10);
    while (*end == ' ' || *end == '\t')
        end++;
    return *end == '\0' && *length != LLONG_MAX;
}

long long days_from_civil(long long year, int month, int day)
{
    // Howard Hinnant's days_from_civil: days since 1970-01-01.
    year -= month <= 2;
    long long era = (year >= 0 ? year : year - 399) / 400;
    long long year_of_era = year - era * 400;
    int shifted_month = month > 2 ? month - 3 : month + 9;
    long long day_of_year = (153 * shifted_month + 2) / 5 + day - 1;
    long long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

// An HTTP date in the fixed-length form of RFC 7231 ("Sun, 06 Nov 1994
// 08:49:37 GMT") into *time. Only a date that formats back to the very same
// text is taken, so it is later sent back byte for byte.
bool parse_http_date(const char* text, int64_t* time)
{
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    char weekday[4];
    char month_name[4];
    int day, year, hour, minute, second, used = 0;
    if (sscanf(text, "%3[A-Za-z], %2d %3[A-Za-z] %4d %2d:%2d:%2d GMT%n", weekday, &day,
               month_name, &year, &hour, &minute, &second, &used) != 7 ||
        text[used] != '\0')
        return false;
    const char* month = strstr(months, month_name);
    if (strlen(month_name) != 3 || !month || (month - months) % 3 != 0)
        return false;
    *time = days_from_civil(year, static_cast<int>((month - months) / 3) + 1, day) * 86400 +
            hour * 3600 + minute * 60 + second;
    char again[HEADER_SIZE];
    return cache_file_http_date(*time, again, sizeof again) && strcmp(again, text) == 0;
}

// What the response header says about the body to come.
struct Expected {
    long long announced;  // Content-Length as strtol reads it: the bar's range
    bool has_length;      // a Content-Length line was given...
    bool length_valid;    // ...holding a plain count
    long long length;
    bool has_date;        // a usable Last-Modified
    int64_t date;
};

Expected read_expected(const StringList* response)
{
    Expected expected = {0, false, false, 0, false, 0};
    char value[HEADER_SIZE];
    if (http_header_value(response, "Content-Length", value, sizeof value)) {
        expected.has_length = true;
        expected.announced = strtoll(value, nullptr, 10);
        expected.length_valid = parse_length(value, &expected.length);
    }
    if (http_header_value(response, "Last-Modified", value, sizeof value))
        expected.has_date = parse_http_date(value, &expected.date);
    return expected;
}

// Why a body is not whole, for the log.
std::string cut_short(const Expected& expected, long long total, int last_read)
{
    if (last_read == 0 && expected.has_length && !expected.length_valid)
        return "its Content-Length is no plain count";
    std::string text = "cut short after " + std::to_string(total) + " bytes";
    if (expected.has_length)
        text += " of " + std::to_string(expected.length);
    return text + ": " + why();
}

void remember(char** failed, const char* name)
{
    free(*failed);
    size_t size = strlen(name) + 1;
    *failed = static_cast<char*>(malloc(size));
    if (*failed)
        memcpy(*failed, name, size);
}

bool remembered(const char* failed, const char* name)
{
    return failed && strcmp(failed, name) == 0;
}

// Where a URL's request goes, the way the user's proxy settings route it.
struct Route {
    UrlParts parts;
    PoolServer server;
    std::string proxy;  // "host:port" of the proxy, when there is one
    std::string way;    // for the log
};

Route route_of(const char* url)
{
    Route route;
    url_parse(url, &route.parts);
    PoolServer& server = route.server;
    proxy_for_url(url, &server.route);
    server.secure = url_scheme_is(&route.parts, "https");
    snprintf(server.host, sizeof server.host, "%s", route.parts.host);
    server.port = static_cast<int>(strtol(route.parts.port, nullptr, 10));
    route.proxy = std::string(server.route.host) + ":" + std::to_string(server.route.port);
    route.way = server.route.port ? "through the proxy " + route.proxy : "directly";
    return route;
}

// What failed earlier in this launch so that a request for route is not
// sent: the proxy or the host, in words; empty when it may be sent. A
// proxy that cannot be reached, or wants a logon that cannot be given,
// fails every host behind it; any other failure fails the origin host.
std::string failed_earlier(const Route& route, const DownloadState* state)
{
    if (route.server.route.port && remembered(state->failed_proxy, route.proxy.c_str()))
        return "the proxy " + route.proxy;
    if (remembered(state->failed_host, route.parts.host))
        return route.parts.host;
    return "";
}

// The log's words for a request of url with the cached copy's date (empty:
// none).
std::string describe(const char* url, const Route& route, const std::string& date)
{
    std::string what = std::string("GET ") + Shown(url).text + " " + route.way;
    return date.empty() ? what : what + ", If-Modified-Since " + date;
}

// The extra request lines: the cached copy's date, if any.
struct RequestLines {
    StringList list = {nullptr, 0};
    explicit RequestLines(const std::string& date)
    {
        if (!date.empty())
            string_list_add(("If-Modified-Since: " + date + "\r\n").c_str(), &list);
    }
    ~RequestLines() { string_list_free(&list); }
    RequestLines(const RequestLines&) = delete;
    RequestLines& operator=(const RequestLines&) = delete;
};

// The last response of a request, after any redirects it led through.
struct Answer {
    int failure;        // 0: answered, or the HTTP_ failure of the last request
                        // (a skipped host or proxy: HTTP_FAILED)
    char host[PROXY_HOST_SIZE];  // the host of the failure: the proxy's for a logon
    int status;         // 0 when the redirects ended in no usable response
    bool complete;
    Expected expected;
    std::string status_line;  // for the log
    std::string why;          // what went wrong, in words: for a failure or a refused redirect
};

// Logs a failed request of url and remembers what failed; the host of the
// failure into answer.
void note_failure(const char* url, const Route& route, int failure, DownloadState* state,
                  Answer* answer)
{
    Shown shown(url);
    answer->why = failure == HTTP_PROXY_UNREACHABLE
                      ? "the proxy " + route.proxy + " not reached: " + why()
                      : why();
    log_line("%s: failed: %s", shown.text, answer->why.c_str());
    if (failure == HTTP_PROXY_UNREACHABLE || failure == HTTP_PROXY_AUTH)
        remember(&state->failed_proxy, route.proxy.c_str());
    else
        remember(&state->failed_host, route.parts.host);
    snprintf(answer->host, sizeof answer->host, "%s",
             failure == HTTP_PROXY_AUTH ? route.server.route.host : route.parts.host);
    answer->failure = failure == HTTP_PROXY_UNREACHABLE ? HTTP_FAILED : failure;
}

bool is_redirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect from url leads, into next: its "Location", resolved
// against url. Null, or why it leads nowhere: there is none or it was cut
// at the line limit, it does not parse or names another scheme than http
// or https, or it goes from https to http, which would hand the download
// to anyone on the way.
const char* redirect_target(const char* url, const StringList* response, char* next,
                            size_t size)
{
    const char* line = http_header_line(response, "Location");
    char location[URL_SIZE];
    if (!line || line[strlen(line) - 1] != '\n' ||
        !http_header_value(response, "Location", location, sizeof location))
        return "no whole Location";
    if (!url_resolve(url, location, next, size))
        return "a Location that does not resolve";
    UrlParts from, to;
    url_parse(url, &from);
    if (url_parse(next, &to) != 0 || !to.host[0] ||
        !(url_scheme_is(&to, "http") || url_scheme_is(&to, "https")))
        return "a Location that is no http or https URL";
    if (url_scheme_is(&from, "https") && !url_scheme_is(&to, "https"))
        return "from https to http";
    return nullptr;
}

// Why a redirect from current may not be followed, or null: the sixth,
// one that leads nowhere usable, or back to a URL already asked
// (url, then visited[0, hop)).
const char* refuse_redirect(const char* url, const char* current, int hop,
                            const StringList* response, char (*visited)[URL_SIZE])
{
    if (hop >= MAX_REDIRECTS)
        return "more than five redirects";
    const char* refused = redirect_target(current, response, visited[hop], URL_SIZE);
    for (int i = 0; !refused && i <= hop; i++) {
        if (strcmp(visited[hop], i == 0 ? url : visited[i - 1]) == 0)
            refused = "back to a URL already asked";
    }
    return refused;
}

// The status line without its line end, for the log.
std::string status_line(const StringList* response)
{
    std::string line = response->count ? response->items[0] : "";
    line.erase(line.find_last_not_of("\r\n") + 1);
    return line;
}

int show_error_about(const char* text, const char* host, bool silent)
{
    char message[MESSAGE_SIZE];
    snprintf(message, sizeof message, "%s %s", text, host);
    return show_error(message, silent);
}

// One file of a list, as far as it is known before its turn.
struct Item {
    const char* url;
    const char* name;  // the text after the last '/'; null when there is none
    const char* sha256;  // the pinned digest, or null
    char local[DOWNLOAD_PATH_SIZE];
    char staged[DOWNLOAD_PATH_SIZE];  // where a new body goes: local, or in the stage folder
    char temp[DOWNLOAD_PATH_SIZE];
    bool refused;      // the name or its path cannot be written
    bool prepared;     // cached and date read: a file of an earlier one's name waits its turn
    bool cached;
    bool current;      // the copy has the pinned digest: nothing is asked
    std::string date;  // the cached copy's date for If-Modified-Since, empty for none
    Route route;
    int ticket;        // its request in flight, or -1
    std::string why;   // why it is held back, for the caller
};

// The files of one download_files call and the launch's state.
struct Batch {
    std::vector<Item> items;
    const char* folder;
    DownloadOptions options;
    DownloadState* state;
};

// The copy revalidated: the one an earlier launch kept aside in the stage
// folder, else the one in the folder. A pinned copy is checked instead: one
// that has its digest needs no request, one that has not was changed on
// disk, so its date says nothing and the file is asked for whole.
void prepare_cache(Item* item, const Batch& batch)
{
    const DownloadOptions& options = batch.options;
    bool aside = strcmp(item->staged, item->local) != 0 && cache_file_exists(item->staged);
    const char* copy = aside ? item->staged : item->local;
    int64_t modified = 0;
    char date[HEADER_SIZE];
    bool copied = cache_file_time(copy, &modified) != 0;
    // A caller that reports a missing file itself hears of none.
    item->cached = copied || options.quiet_without_copy;
    item->prepared = true;
    if (copied && item->sha256) {
        char hex[DIGEST_HEX_SIZE];
        bool read = aside || !options.digests
                        ? digest_sha256_file(copy, hex)
                        : digest_record_file(options.digests, batch.folder, item->name, hex);
        item->current = read && strcmp(hex, item->sha256) == 0;
        if (item->current)
            return;
        // A copy that is not the pinned file serves nothing.
        item->cached = options.quiet_without_copy;
        log_line("%s: the copy %s does not have its sha256 (%s): asked for whole",
                 Shown(item->url).text, copy, read ? hex : "unreadable");
        return;
    }
    // A time the runtime cannot convert sends no date: the copy is fetched again.
    if (copied && cache_file_http_date(modified, date, sizeof date))
        item->date = date;
}

Item make_item(const DownloadFile& file, const char* folder, const char* stage_folder)
{
    Item item;
    item.url = file.url;
    item.sha256 = file.sha256;
    item.refused = false;
    item.prepared = false;
    item.cached = false;
    item.current = false;
    item.ticket = -1;
    item.name = stored_name_of(file.url);
    if (!item.name)
        return item;
    const char* into = stage_folder ? stage_folder : folder;
    int length = snprintf(item.local, sizeof item.local, "%s%s", folder, item.name);
    int staged = snprintf(item.staged, sizeof item.staged, "%s%s", into, item.name);
    item.refused = !stored_name_acceptable(item.name) || length < 0 ||
                   static_cast<size_t>(length) >= sizeof item.local || staged < 0 ||
                   static_cast<size_t>(staged) >= sizeof item.staged ||
                   !download_temp_path(into, item.temp, sizeof item.temp);
    if (!item.refused)
        item.route = route_of(file.url);
    return item;
}

// Why a whole body may not join the cache, or "": a jar must be a readable
// zip archive, and a pinned file must have its digest.
std::string body_refused(const Item& item)
{
    if (jar_named(item.name) && !jar_readable(item.temp))
        return "not a zip archive";
    char hex[DIGEST_HEX_SIZE];
    if (item.sha256 && (!digest_sha256_file(item.temp, hex) || strcmp(hex, item.sha256) != 0))
        return std::string("sha256 expected ") + item.sha256 + ", got " +
               (hex[0] ? hex : "nothing readable");
    return "";
}

// A body that could not be written leaves nothing aside for its file.
void discard_staged(const Item& item)
{
    if (strcmp(item.staged, item.local) != 0)
        cache_file_remove(item.staged);
}

// Copies the body of a 200 response into the item's temporary file and,
// when it arrived whole and passes its checks, puts it in place of the
// item's copy. The caller ends the answer (pool_done). A DownloadOutcome.
int receive_body(HttpConnection* connection, const Expected& expected, Item& item,
                 DownloadState* state, bool silent, const char* shown,
                 std::chrono::steady_clock::time_point start)
{
    state->last_read_count = 0;
    Progress progress = progress_start(state->request->progress_bar, expected.announced);
    FILE* file = file_open(item.temp, "wb");
    if (!file)
        return cannot_write(item.temp, silent);
    bool written = true;
    for (;;) {
        progress_before_read(&progress, connection);
        const char* data = nullptr;
        int got = http_read(connection, &data);
        state->last_read_count = got;
        if (got < 1)
            break;
        if (fwrite(data, 1, static_cast<size_t>(got), file) != static_cast<size_t>(got)) {
            written = false;
            break;
        }
        progress_received(&progress, got);
    }
    progress_show(&progress);
    // On disk before the commit can move it in: after a power cut a body
    // must not come back as zeros that keep the size and time of the file.
    if (!cache_file_flush(file))
        written = false;
    if (fclose(file) != 0)
        written = false;
    if (!written) {
        cache_file_remove(item.temp);
        discard_staged(item);
        return cannot_write(item.temp, silent);
    }
    // Whole: the body ended where its framing says and, when the server
    // said how long it is, exactly that much arrived.
    bool whole = state->last_read_count == 0 &&
                 (!expected.has_length ||
                  (expected.length_valid && progress.total == expected.length));
    item.why = whole ? body_refused(item)
                     : "body " + cut_short(expected, progress.total, state->last_read_count);
    if (!item.why.empty()) {
        log_line("%s: 200, %s%s", shown, whole ? "body refused: " : "", item.why.c_str());
        cache_file_remove(item.temp);
        return use_cached_copy(item.local, item.cached, silent);
    }
    // The server's own date makes the next If-Modified-Since match its
    // Last-Modified exactly, which is what servers compare against.
    if (expected.has_date)
        cache_file_set_time(item.temp, expected.date);
    if (!cache_file_replace(item.temp, item.staged)) {
        cache_file_remove(item.temp);
        discard_staged(item);
        return cannot_write(item.staged, silent);
    }
    log_line("%s: 200, %lld bytes in %lld ms", shown, progress.total, milliseconds_since(start));
    return DOWNLOAD_FETCHED;
}

// Sends the requests of the files from index on ahead, where their
// server's connection takes them now. A file that must wait for its turn
// (its name is an earlier file's) holds back the later files of its server.
void send_ahead(Batch& batch, size_t from)
{
    DownloadState* state = batch.state;
    std::vector<const PoolServer*> held;
    for (size_t i = from; i < batch.items.size(); i++) {
        Item& item = batch.items[i];
        if (!item.name || item.refused || item.current || item.ticket >= 0)
            continue;
        const PoolServer* server = &item.route.server;
        bool waits = !item.prepared || std::any_of(held.begin(), held.end(), [server](auto* h) {
            return pool_same_server(h, server) != 0;
        });
        if (waits) {
            held.push_back(server);
            continue;
        }
        if (!failed_earlier(item.route, state).empty() ||
            !origin_listed(state->allowed_sites, item.url) ||
            !pool_can_send_ahead(state->pool, server))
            continue;
        RequestLines lines(item.date);
        int ticket = pool_request(state->pool, server, item.route.parts.path, &lines.list,
                                  describe(item.url, item.route, item.date).c_str(), POOL_AHEAD);
        item.ticket = ticket < 0 ? -1 : ticket;
    }
}

// Asks for the file of batch.items[index] and follows redirects, at most
// five, each a new request with the same header lines. A redirect that
// leads nowhere usable, back to a URL already asked, or a sixth time, ends
// in no usable response. With an answer, *connection is at its body and
// *ticket names it.
Answer request_following(Batch& batch, size_t index, int* ticket, HttpConnection** connection)
{
    Item& item = batch.items[index];
    DownloadState* state = batch.state;
    Answer answer = {};
    char visited[MAX_REDIRECTS][URL_SIZE];
    const char* current = item.url;
    for (int hop = 0;; hop++) {
        // Every hop is the policy's, a redirect's target as much as the first URL.
        if (!origin_listed(state->allowed_sites, current)) {
            answer.why = "not asked: its site is not among the allowed sites";
            log_line("%s: %s", Shown(current).text, answer.why.c_str());
            answer.failure = HTTP_FAILED;
            *ticket = -1;
            return answer;
        }
        Route route = hop == 0 ? item.route : route_of(current);
        // A request already in flight takes its answer; one whose
        // connection was lost goes again only where a new one may.
        *ticket = hop == 0 ? item.ticket : -1;
        bool asked = *ticket >= 0 && pool_in_flight(state->pool, *ticket);
        std::string skipped = asked ? "" : failed_earlier(route, state);
        if (!skipped.empty()) {
            answer.why = "not asked: " + skipped + " failed earlier in this launch";
            log_line("%s: %s", Shown(current).text, answer.why.c_str());
            snprintf(answer.host, sizeof answer.host, "%s", route.parts.host);
            answer.failure = HTTP_FAILED;
            *ticket = -1;
            return answer;
        }
        if (*ticket < 0) {
            RequestLines lines(item.date);
            *ticket = pool_request(state->pool, &route.server, route.parts.path, &lines.list,
                                   describe(current, route, item.date).c_str(), POOL_NOW);
        }
        send_ahead(batch, index + 1);
        StringList response = {nullptr, 0};
        int socket = *ticket < 0 ? *ticket
                                 : pool_answer(state->pool, *ticket, &response, connection);
        if (socket < 0) {
            *ticket = -1;
            note_failure(current, route, socket, state, &answer);
            return answer;
        }
        answer.status = http_status_code(&response);
        answer.complete = http_header_complete(&response) != 0;
        answer.expected = read_expected(&response);
        answer.status_line = status_line(&response);
        Shown shown(current);
        if (!answer.complete) {
            answer.why = "answer header cut short: " + why();
            log_line("%s: %s", shown.text, answer.why.c_str());
        }
        if (!answer.complete || !is_redirect(answer.status)) {
            string_list_free(&response);
            return answer;
        }
        const char* refused = refuse_redirect(item.url, current, hop, &response, visited);
        string_list_free(&response);
        http_discard(*connection, POOL_DISCARD_LIMIT);
        pool_done(state->pool, *ticket);
        *ticket = -1;
        if (refused) {
            answer.why = std::to_string(answer.status) + " redirect not followed: " + refused;
            log_line("%s: %s", shown.text, answer.why.c_str());
            answer.status = 0;
            return answer;
        }
        current = visited[hop];
        log_line("%s: %d redirect to %s", shown.text, answer.status, Shown(current).text);
    }
}

// The download of batch.items[index]: its DownloadOutcome.
int take_up(Batch& batch, size_t index)
{
    Item& item = batch.items[index];
    DownloadState* state = batch.state;
    bool silent = batch.options.silent;
    if (!item.name)
        return DOWNLOAD_CURRENT;
    if (item.refused) {
        log_line("%s: the name or its path is refused", Shown(item.url).text);
        return show_error("Error cannot write resource", silent);
    }
    label_show(state->request->main_window, state->request->status_label, item.name);
    auto start = std::chrono::steady_clock::now();
    if (!item.prepared)
        prepare_cache(&item, batch);
    if (item.current) {
        log_line("%s: the copy has its sha256: not asked", Shown(item.url).text);
        return DOWNLOAD_CURRENT;
    }
    int ticket = -1;
    HttpConnection* connection = nullptr;
    Answer answer = request_following(batch, index, &ticket, &connection);
    item.why = answer.why;
    if (answer.failure == HTTP_UNTRUSTED && !item.cached)
        return show_error_about("Error, the server's certificate is not trusted", answer.host, silent);
    if (answer.failure == HTTP_PROXY_AUTH && !item.cached)
        return show_error_about("Error, the proxy server requires authentication", answer.host, silent);
    if (answer.failure)
        return use_cached_copy(item.local, item.cached, silent);
    Shown shown(item.url);
    // A 200 is logged with its body; a refused redirect was logged already.
    if (answer.complete && answer.status != 200 && answer.status != 0) {
        log_line("%s: %s in %lld ms", shown.text, answer.status_line.c_str(),
                 milliseconds_since(start));
        item.why = "answered " + answer.status_line;
    }
    // A host that answered stays trusted, whatever it answered.
    bool wanted = answer.complete && answer.status == 200;
    if (!wanted) {
        if (ticket >= 0) {
            http_discard(connection, POOL_DISCARD_LIMIT);
            pool_done(state->pool, ticket);
        }
        bool kept = answer.complete && answer.status == 304;
        return kept ? DOWNLOAD_CURRENT : use_cached_copy(item.local, item.cached, silent);
    }
    int result = receive_body(connection, answer.expected, item, state, silent, shown.text, start);
    pool_done(state->pool, ticket);
    return result;
}

// download_files: each file taken up in turn until one shows an error.
int fetch_list(DownloadFile* files, int count, const char* folder, const DownloadOptions* options,
               DownloadState* state)
{
    for (int i = 0; i < count; i++) {
        files[i].outcome = DOWNLOAD_HELD_BACK;
        snprintf(files[i].why, sizeof files[i].why, "not asked");
    }
    if (!state->pool)
        state->pool = pool_make();
    if (!state->pool) {
        log_line("no memory for the connections");
        return show_error("Error downloading resource", options && options->silent);
    }
    Batch batch;
    batch.folder = folder;
    batch.options = options ? *options : DownloadOptions();
    batch.state = state;
    pool_set_patience(state->pool, batch.options.patience_seconds);
    std::set<std::string> names;
    for (int i = 0; i < count; i++) {
        batch.items.push_back(make_item(files[i], folder, batch.options.stage_folder));
        Item& item = batch.items.back();
        if (!item.name || item.refused)
            continue;
        // Windows finds a file by its name in any letter case.
        std::string name = item.local;
        for (char& c : name)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (names.insert(name).second)
            prepare_cache(&item, batch);
    }
    tally_files_listed(count);
    int result = DOWNLOAD_CURRENT;
    for (size_t i = 0; i < batch.items.size() && result != DOWNLOAD_ERROR; i++) {
        result = take_up(batch, i);
        tally_file_done();
        files[i].outcome = result;
        snprintf(files[i].why, sizeof files[i].why, "%s", batch.items[i].why.c_str());
    }
    pool_end_list(state->pool);
    return result == DOWNLOAD_ERROR ? -1 : 0;
}

} // namespace

int download_temp_path(const char* folder, char* out, size_t size)
{
    int length = snprintf(out, size, "%sdownload-%lu.part", folder, cache_file_process_id());
    return length >= 0 && static_cast<size_t>(length) < size;
}

int download_resource(const char* url, const char* folder, DownloadState* state)
{
    DownloadFile file = {url, nullptr, DOWNLOAD_HELD_BACK, ""};
    if (fetch_list(&file, 1, folder, nullptr, state) < 0)
        return -1;
    return file.outcome == DOWNLOAD_FETCHED ? 1 : 0;
}

int download_resources(const char* const* urls, int count, const char* folder,
                       DownloadState* state)
{
    std::vector<DownloadFile> files;
    for (int i = 0; i < count; i++)
        files.push_back({urls[i], nullptr, DOWNLOAD_HELD_BACK, ""});
    return fetch_list(files.data(), count, folder, nullptr, state);
}

int download_files(DownloadFile* files, int count, const char* folder,
                   const DownloadOptions* options, DownloadState* state)
{
    return fetch_list(files, count, folder, options, state);
}

void download_state_release(DownloadState* state)
{
    free(state->failed_host);
    free(state->failed_proxy);
    pool_free(state->pool);
    state->failed_host = nullptr;
    state->failed_proxy = nullptr;
    state->pool = nullptr;
}
