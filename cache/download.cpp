#include "cache/download.h"

#include "cache/cachefile.h"
#include "cache/progress.h"
#include "net/http.h"
#include "net/proxy.h"
#include "net/socket.h"
#include "net/url.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum { HEADER_SIZE = 256, URL_SIZE = 2048, MAX_REDIRECTS = 5, MESSAGE_SIZE = 320 };

int show_error(const char* message)
{
    MessageBoxA(nullptr, message, "Error", MB_ICONERROR | MB_OK);
    return -1;
}

int cannot_write(void)
{
    return show_error("Error cannot write resource");
}

// Nothing new was written: the local copy, if there is one, serves.
int use_cached_copy(bool cached)
{
    return cached ? 0 : show_error("Error downloading resource");
}

// The file name must stay inside the target folder and be a name Windows
// accepts: a name like "..\Launcher.exe" or "C:x" would write elsewhere.
bool acceptable_name(const char* name)
{
    size_t length = strlen(name);
    if (length == 0 || length >= DOWNLOAD_NAME_SIZE || strcmp(name, ".") == 0 ||
        strcmp(name, "..") == 0)
        return false;
    for (const char* c = name; *c; c++) {
        if (static_cast<unsigned char>(*c) < 32 || strchr("<>:\"/\\|?*", *c))
            return false;
    }
    return true;
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

// Copies the body of a 200 response into temp and, when it arrived whole,
// puts it in place of local. Closes the connection.
int receive_body(HttpConnection* connection, const Expected& expected, const char* temp,
                 const char* local, bool cached, DownloadState* state)
{
    state->last_read_count = 0;
    Progress progress = progress_start(state->request->progress_bar, expected.announced);
    FILE* file = fopen(temp, "wb");
    if (!file) {
        http_close(connection);
        return cannot_write();
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
        return cannot_write();
    }
    // Whole: the server closed the connection normally and, when it said
    // how long the body is, exactly that much arrived.
    bool whole = state->last_read_count == 0 &&
                 (!expected.has_length ||
                  (expected.length_valid && progress.total == expected.length));
    if (!whole) {
        remove(temp);
        return use_cached_copy(cached);
    }
    // The server's own date makes the next If-Modified-Since match its
    // Last-Modified exactly, which is what servers compare against.
    if (expected.has_date)
        cache_file_set_time(temp, expected.date);
    if (!cache_file_replace(temp, local)) {
        remove(temp);
        return cannot_write();
    }
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
    bool skipped = remembered(state->failed_host, parts.host) ||
                   (route.port && remembered(state->failed_proxy, proxy.c_str()));
    int socket = HTTP_FAILED;
    if (!skipped) {
        int port = static_cast<int>(strtol(parts.port, nullptr, 10));
        socket = http_get_routed(&route, url_scheme_is(&parts, "https"), parts.host, port,
                                 parts.path, response, request, connection);
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
};

bool is_redirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect from url leads, into next: its "Location", resolved
// against url. False when there is none or it was cut at the line limit,
// when it does not parse or names another scheme than http or https, and
// for https to http, which would hand the download to anyone on the way.
bool redirect_target(const char* url, const StringList* response, char* next, size_t size)
{
    const char* line = http_header_line(response, "Location");
    char location[URL_SIZE];
    if (!line || line[strlen(line) - 1] != '\n' ||
        !http_header_value(response, "Location", location, sizeof location) ||
        !url_resolve(url, location, next, size))
        return false;
    UrlParts from, to;
    url_parse(url, &from);
    if (url_parse(next, &to) != 0 || !to.host[0] ||
        !(url_scheme_is(&to, "http") || url_scheme_is(&to, "https")))
        return false;
    return !url_scheme_is(&from, "https") || url_scheme_is(&to, "https");
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
        if (!answer.complete || !is_redirect(answer.status)) {
            string_list_free(&response);
            return answer;
        }
        char* next = visited[hop < MAX_REDIRECTS ? hop : 0];
        bool leads = hop < MAX_REDIRECTS && redirect_target(current, &response, next, URL_SIZE);
        string_list_free(&response);
        http_close(connection);
        for (int i = 0; leads && i <= hop; i++)
            leads = strcmp(next, i == 0 ? url : visited[i - 1]) != 0;
        if (!leads) {
            answer.status = 0;
            return answer;
        }
        current = next;
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
    const char* slash = strrchr(url, '/');
    if (!slash)
        return 0;
    const char* name = slash + 1;
    char local[DOWNLOAD_PATH_SIZE];
    char temp[DOWNLOAD_PATH_SIZE];
    int length = snprintf(local, sizeof local, "%s%s", folder, name);
    if (!acceptable_name(name) || length < 0 || static_cast<size_t>(length) >= sizeof local ||
        !download_temp_path(folder, temp, sizeof temp))
        return cannot_write();
    SetWindowTextA(state->request->status_label, name);

    StringList request = {nullptr, 0};
    int64_t modified = 0;
    bool cached = cache_file_time(local, &modified) != 0;
    char header[HEADER_SIZE];
    // A time the runtime cannot convert sends no date: the copy is fetched again.
    if (cached && cache_file_http_date(modified, header, sizeof header)) {
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
        return use_cached_copy(cached);
    // A host that answered stays trusted, whatever it answered.
    if (answer.complete && answer.status == 304) {
        http_close(&connection);
        return 0;
    }
    if (!answer.complete || answer.status != 200) {
        http_close(&connection);
        return use_cached_copy(cached);
    }
    return receive_body(&connection, answer.expected, temp, local, cached, state);
}

void download_state_release(DownloadState* state)
{
    free(state->failed_host);
    free(state->failed_proxy);
    state->failed_host = nullptr;
    state->failed_proxy = nullptr;
}
