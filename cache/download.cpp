#include "cache/download.h"

#include "base/log.h"
#include "cache/cachefile.h"
#include "cache/progress.h"
#include "cache/stored_name.h"
#include "net/cause.h"
#include "net/http.h"
#include "net/proxy.h"
#include "net/socket.h"
#include "net/url.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

int show_error(const char* message)
{
    log_line("message: %s", message);
    MessageBoxA(nullptr, message, "Error", MB_ICONERROR | MB_OK);
    return -1;
}

int cannot_write(const char* path)
{
    log_line("cannot write %s", path);
    return show_error("Error cannot write resource");
}

// Nothing new was written: the local copy, if there is one, serves.
int use_cached_copy(const char* local, bool cached)
{
    if (!cached)
        return show_error("Error downloading resource");
    log_line("the cached copy serves: %s", local);
    return 0;
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

// Copies the body of a 200 response into temp and, when it arrived whole,
// puts it in place of local. Closes the connection.
int receive_body(HttpConnection* connection, const Expected& expected, const char* temp,
                 const char* local, bool cached, DownloadState* state, const char* shown,
                 std::chrono::steady_clock::time_point start)
{
    state->last_read_count = 0;
    Progress progress = progress_start(state->request->progress_bar, expected.announced);
    FILE* file = fopen(temp, "wb");
    if (!file) {
        http_close(connection);
        return cannot_write(temp);
    }
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
    http_close(connection);
    if (fclose(file) != 0)
        written = false;
    if (!written) {
        remove(temp);
        return cannot_write(temp);
    }
    // Whole: the server closed the connection normally and, when it said
    // how long the body is, exactly that much arrived.
    bool whole = state->last_read_count == 0 &&
                 (!expected.has_length ||
                  (expected.length_valid && progress.total == expected.length));
    if (!whole) {
        log_line("%s: 200, body %s", shown,
                 cut_short(expected, progress.total, state->last_read_count).c_str());
        remove(temp);
        return use_cached_copy(local, cached);
    }
    // The server's own date makes the next If-Modified-Since match its
    // Last-Modified exactly, which is what servers compare against.
    if (expected.has_date)
        cache_file_set_time(temp, expected.date);
    if (!cache_file_replace(temp, local)) {
        remove(temp);
        return cannot_write(local);
    }
    log_line("%s: 200, %lld bytes in %lld ms", shown, progress.total, milliseconds_since(start));
    return 1;
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

// Asks for the URL of parts the way the user's settings route it. A proxy
// that cannot be reached, or wants a logon that cannot be given, fails
// every host behind it; any other failure fails the origin host.
int get_routed(const char* url, const UrlParts& parts, StringList* response,
               const StringList* request, DownloadState* state, HttpConnection* connection,
               char (&host)[PROXY_HOST_SIZE])
{
    ProxyRoute route;
    proxy_for_url(url, &route);
    std::string proxy = std::string(route.host) + ":" + std::to_string(route.port);
    std::string way = route.port ? "through the proxy " + proxy : "directly";
    bool proxy_failed = route.port && remembered(state->failed_proxy, proxy.c_str());
    bool skipped = remembered(state->failed_host, parts.host) || proxy_failed;
    Shown shown(url);
    int socket = HTTP_FAILED;
    if (skipped) {
        log_line("%s: not asked: %s failed earlier in this launch", shown.text,
                 proxy_failed ? ("the proxy " + proxy).c_str() : parts.host);
    } else {
        char since[HEADER_SIZE] = "";
        if (request && http_header_value(request, "If-Modified-Since", since, sizeof since))
            log_line("GET %s %s, If-Modified-Since %s", shown.text, way.c_str(), since);
        else
            log_line("GET %s %s", shown.text, way.c_str());
        cause_clear();
        int port = static_cast<int>(strtol(parts.port, nullptr, 10));
        socket = http_get_routed(&route, url_scheme_is(&parts, "https"), parts.host, port,
                                 parts.path, response, request, connection);
        if (socket == HTTP_PROXY_UNREACHABLE)
            log_line("%s: failed: the proxy %s not reached: %s", shown.text, proxy.c_str(),
                     why().c_str());
        else if (socket < 0)
            log_line("%s: failed: %s", shown.text, why().c_str());
        if (socket == HTTP_PROXY_UNREACHABLE || socket == HTTP_PROXY_AUTH)
            remember(&state->failed_proxy, proxy.c_str());
        else if (socket < 0)
            remember(&state->failed_host, parts.host);
    }
    snprintf(host, sizeof host, "%s", socket == HTTP_PROXY_AUTH ? route.host : parts.host);
    return socket;
}

// The last response of a request, after any redirects it led through.
struct Answer {
    int failure;        // 0: answered, or the HTTP_ failure of the last request
                        // (a skipped host or proxy: HTTP_FAILED)
    char host[PROXY_HOST_SIZE];  // the host of the failure: the proxy's for a logon
    int status;         // 0 when the redirects ended in no usable response
    bool complete;
    Expected expected;
    std::string status_line;  // for the log
};

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

// Sends the request for url and follows redirects, at most five, each a
// new request with the same header lines. A redirect that leads nowhere
// usable, back to a URL already asked, or a sixth time, ends in no usable
// response. With an answer, connection is open at its body.
Answer request_following(const char* url, const StringList* request, DownloadState* state,
                         HttpConnection* connection)
{
    Answer answer = {};
    char visited[MAX_REDIRECTS][URL_SIZE];
    const char* current = url;
    for (int hop = 0;; hop++) {
        UrlParts parts;
        url_parse(current, &parts);
        StringList response = {nullptr, 0};
        int socket = get_routed(current, parts, &response, request, state, connection, answer.host);
        if (socket < 0) {
            answer.failure = socket == HTTP_PROXY_UNREACHABLE ? HTTP_FAILED : socket;
            return answer;
        }
        answer.status = http_status_code(&response);
        answer.complete = http_header_complete(&response) != 0;
        answer.expected = read_expected(&response);
        answer.status_line = status_line(&response);
        Shown shown(current);
        if (!answer.complete)
            log_line("%s: answer header cut short: %s", shown.text, why().c_str());
        if (!answer.complete || !is_redirect(answer.status)) {
            string_list_free(&response);
            return answer;
        }
        const char* refused = refuse_redirect(url, current, hop, &response, visited);
        string_list_free(&response);
        http_close(connection);
        if (refused) {
            log_line("%s: %d redirect not followed: %s", shown.text, answer.status, refused);
            answer.status = 0;
            return answer;
        }
        current = visited[hop];
        log_line("%s: %d redirect to %s", shown.text, answer.status, Shown(current).text);
    }
}

int show_error_about(const char* text, const char* host)
{
    char message[MESSAGE_SIZE];
    snprintf(message, sizeof message, "%s %s", text, host);
    return show_error(message);
}

} // namespace

int download_temp_path(const char* folder, char* out, size_t size)
{
    int length = snprintf(out, size, "%sdownload-%lu.part", folder, cache_file_process_id());
    return length >= 0 && static_cast<size_t>(length) < size;
}

int download_resource(const char* url, const char* folder, DownloadState* state)
{
    const char* name = stored_name_of(url);
    if (!name)
        return 0;
    char local[DOWNLOAD_PATH_SIZE];
    char temp[DOWNLOAD_PATH_SIZE];
    int length = snprintf(local, sizeof local, "%s%s", folder, name);
    if (!stored_name_acceptable(name) || length < 0 ||
        static_cast<size_t>(length) >= sizeof local ||
        !download_temp_path(folder, temp, sizeof temp)) {
        log_line("%s: the name or its path is refused", Shown(url).text);
        return show_error("Error cannot write resource");
    }
    SetWindowTextA(state->request->status_label, name);
    auto start = std::chrono::steady_clock::now();

    StringList request = {nullptr, 0};
    int64_t modified = 0;
    bool copied = cache_file_time(local, &modified) != 0;
    // A caller that reports a missing file itself hears of none.
    bool cached = copied || state->quiet_without_copy;
    char header[HEADER_SIZE];
    // A time the runtime cannot convert sends no date: the copy is fetched again.
    if (copied && cache_file_http_date(modified, header, sizeof header)) {
        char line[HEADER_SIZE + 32];
        snprintf(line, sizeof line, "If-Modified-Since: %s\r\n", header);
        string_list_add(line, &request);
    }

    HttpConnection connection = HTTP_NO_CONNECTION;
    Answer answer = request_following(url, &request, state, &connection);
    string_list_free(&request);
    if (answer.failure == HTTP_UNTRUSTED && !cached)
        return show_error_about("Error, the server's certificate is not trusted", answer.host);
    if (answer.failure == HTTP_PROXY_AUTH && !cached)
        return show_error_about("Error, the proxy server requires authentication", answer.host);
    if (answer.failure)
        return use_cached_copy(local, cached);
    Shown shown(url);
    // A 200 is logged with its body; a refused redirect was logged already.
    if (answer.complete && answer.status != 200 && answer.status != 0)
        log_line("%s: %s in %lld ms", shown.text, answer.status_line.c_str(),
                 milliseconds_since(start));
    // A host that answered stays trusted, whatever it answered.
    if (answer.complete && answer.status == 304) {
        http_close(&connection);
        return 0;
    }
    if (!answer.complete || answer.status != 200) {
        http_close(&connection);
        return use_cached_copy(local, cached);
    }
    return receive_body(&connection, answer.expected, temp, local, cached, state, shown.text,
                        start);
}

void download_state_release(DownloadState* state)
{
    free(state->failed_host);
    free(state->failed_proxy);
    state->failed_host = nullptr;
    state->failed_proxy = nullptr;
}
