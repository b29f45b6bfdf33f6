#include "cache/layout.h"

#include "base/log.h"
#include "base/paths.h"
#include "cache/stored_name.h"
#include "net/ascii.h"
#include "net/url.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The longest temporary names written beside a layout's files: a body on
// its way ("download-<process id>.part") and a record's ".new".
const char LONGEST_TEMP[] = "download-4294967295.part";
const char RECORD_TEMP[] = ".new";

int compose(char* out, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int needed = vsnprintf(out, size, format, args);
    va_end(args);
    if (needed >= 0 && static_cast<size_t>(needed) < size)
        return 1;
    if (size > 0)
        out[0] = '\0';
    return 0;
}

// An 8.3 alias ("HTTP##~1.EXA", "LAUNCH~1.NLP") may name another folder
// or copy: a stem of at most 8 characters holding "~" and a digit, and an
// extension of at most 3.
bool short_alias(const char* name)
{
    const char* dot = strrchr(name, '.');
    size_t stem = dot ? static_cast<size_t>(dot - name) : strlen(name);
    const char* tilde = strchr(name, '~');
    return stem <= 8 && (!dot || strlen(dot + 1) <= 3) && tilde && tilde < name + stem &&
           isdigit(static_cast<unsigned char>(tilde[1]));
}

// The length of a name as Windows keeps it: without trailing dots and blanks.
size_t kept_length(const char* name)
{
    size_t length = strlen(name);
    while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' '))
        length--;
    return length;
}

// A name that names one file of its own right in its folder.
bool plain_name(const char* name)
{
    return stored_name_acceptable(name) && !short_alias(name) && kept_length(name) == strlen(name);
}

bool fits(const std::string& path)
{
    return path.size() < LAYOUT_PATH_SIZE;
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

bool default_port(const UrlParts& parts)
{
    return (url_scheme_is(&parts, "http") && strcmp(parts.port, "80") == 0) ||
           (url_scheme_is(&parts, "https") && strcmp(parts.port, "443") == 0);
}

} // namespace

int layout_make(const char* folder_name, const char* copy_name, Layout* out)
{
    memset(out, 0, sizeof *out);
    // A folder's record is read before its copy's name is known.
    bool folder_only = copy_name == nullptr;
    if (folder_only)
        copy_name = "a.nlp";
    if (!plain_name(folder_name) || !plain_name(copy_name) ||
        !compose(out->folder_name, sizeof out->folder_name, "%s", folder_name) ||
        !compose(out->copy_name, sizeof out->copy_name, "%s", copy_name))
        return 0;
    char* release = out->release_folder;
    bool made =
        compose(out->site_cache_folder, LAYOUT_PATH_SIZE, "%s%s\\", cache_root, folder_name) &&
        compose(release, LAYOUT_PATH_SIZE, "%s%s\\", releases_root, folder_name) &&
        compose(out->staged, LAYOUT_PATH_SIZE, "%sstaged\\", release) &&
        compose(out->previous, LAYOUT_PATH_SIZE, "%sprevious\\", release) &&
        compose(out->previous_nlp, LAYOUT_PATH_SIZE, "%sprevious-nlp\\", release) &&
        compose(out->journal, LAYOUT_PATH_SIZE, "%sjournal", release) &&
        compose(out->digests, LAYOUT_PATH_SIZE, "%sdigests", release) &&
        compose(out->kept_descriptor, LAYOUT_PATH_SIZE, "%srelease.nlp", release) &&
        compose(out->next_release, LAYOUT_PATH_SIZE, "%snext.nlp", release) &&
        compose(out->next_signature, LAYOUT_PATH_SIZE, "%snext.nlp.minisig", release) &&
        compose(out->kept_signature, LAYOUT_PATH_SIZE, "%srelease.nlp.minisig", release) &&
        compose(out->publisher, LAYOUT_PATH_SIZE, "%spublisher", release) &&
        compose(out->record, LAYOUT_PATH_SIZE, "%sapplication", release) &&
        compose(out->sites_copy, LAYOUT_PATH_SIZE, "%s%s", sites_folder, copy_name) &&
        compose(out->sites_signature, LAYOUT_PATH_SIZE, "%s%s.minisig", sites_folder, copy_name) &&
        compose(out->previous_copy, LAYOUT_PATH_SIZE, "%s%s", out->previous_nlp, copy_name);
    // The temporary files written beside them must fit too.
    made = made && fits(std::string(out->staged) + LONGEST_TEMP) &&
           fits(std::string(out->site_cache_folder) + LONGEST_TEMP) &&
           fits(std::string(out->kept_descriptor) + RECORD_TEMP) &&
           fits(std::string(out->next_signature) + RECORD_TEMP) &&
           fits(std::string(out->sites_copy) + RECORD_TEMP) &&
           fits(std::string(out->kept_signature) + RECORD_TEMP) &&
           fits(std::string(out->publisher) + RECORD_TEMP) &&
           fits(std::string(out->sites_signature) + RECORD_TEMP) &&
           fits(std::string(out->record) + RECORD_TEMP) &&
           fits(std::string(out->digests) + RECORD_TEMP) &&
           fits(std::string(out->journal) + RECORD_TEMP);
    if (folder_only)
        out->copy_name[0] = out->sites_copy[0] = out->sites_signature[0] =
            out->previous_copy[0] = '\0';
    return made ? 1 : 0;
}

size_t layout_longest_name(const Layout* layout)
{
    size_t longest_folder = strlen(layout->previous);
    size_t room = LAYOUT_PATH_SIZE - 1;
    return longest_folder < room ? room - longest_folder : 0;
}

int layout_resource_fits(const Layout* layout, const char* name)
{
    return strlen(name) <= layout_longest_name(layout) ? 1 : 0;
}

int layout_identity(const char* url, const char* file_name, char* out, size_t size)
{
    UrlParts parts;
    std::string text;
    if (url_parse(url, &parts) == 0 && parts.host[0]) {
        std::string host = lower(parts.host);
        if (strchr(parts.host, ':'))
            host = "[" + host + "]";
        std::string path = parts.path;
        path = path.substr(0, path.find_first_of("?#"));
        text = lower(parts.scheme) + "://" + host +
               (default_port(parts) ? "" : std::string(":") + parts.port) + "/" + path;
    } else {
        char shown[LAYOUT_IDENTITY_SIZE];
        url_strip_credentials(url, shown, sizeof shown);
        text = shown;
    }
    if (file_name)
        text += (!text.empty() && text.back() == '/' ? "" : "/") + std::string(file_name);
    return compose(out, size, "%s", text.c_str());
}

void layout_identity_host(const char* identity, char* out, size_t size)
{
    UrlParts parts;
    std::string host = url_parse(identity, &parts) == 0 ? parts.host : "";
    for (char& c : host)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-')
            c = '-';
    compose(out, size, "%s", host.c_str());
}

int layout_folder_name(const char* codebase, int n, char* out, size_t size)
{
    std::string bare(strlen(codebase) + 1, '\0');
    url_strip_credentials(codebase, &bare[0], bare.size());
    std::string name = bare.c_str();
    for (char& c : name)
        if (strchr("<>:\"/\\|?*", c))
            c = '#';
    if (n > 1)
        name += "~" + std::to_string(n);
    return compose(out, size, "%s", name.c_str());
}

int layout_copy_name(const char* name, const char* host, int n, char* out, size_t size)
{
    if (n <= 1)
        return compose(out, size, "%s", name);
    const char* dot = strrchr(name, '.');
    size_t stem = dot && dot != name ? static_cast<size_t>(dot - name) : strlen(name);
    std::string mark = !*host  ? std::to_string(n)
                       : n == 2 ? host
                                : std::string(host) + " " + std::to_string(n - 1);
    return compose(out, size, "%.*s (%s)%s", static_cast<int>(stem), name, mark.c_str(),
                   name + stem);
}

int layout_same_name(const char* a, const char* b)
{
    size_t length = kept_length(a);
    if (kept_length(b) != length)
        return 0;
    for (size_t i = 0; i < length; i++)
        if (!ascii_same_letter(a[i], b[i]))
            return 0;
    return 1;
}

int layout_lock_name(const char* identity, char* out, size_t size)
{
    // 64-bit FNV-1a.
    unsigned long long hash = 0xcbf29ce484222325ull;
    for (const char* c = identity; *c; c++) {
        hash ^= static_cast<unsigned char>(*c);
        hash *= 0x100000001b3ull;
    }
    return compose(out, size, "Local\\quorvel-app-%016llx", hash);
}

void layout_hide_credentials(const char* folder_name)
{
    const char* after = strstr(folder_name, "###");
    const char* at = after ? strchr(after + 3, '@') : nullptr;
    if (at)
        log_hide(std::string(after + 3, at).c_str());
}
