// Which sites may start applications. A site is an origin,
// scheme://host[:port] as the HTTP client connects to it: scheme and host in
// lower case, the port left out when it is the scheme's default (80 for
// http, 443 for https). A link from a web page (nlp://, nlps://) names the
// site the user is asked about once; an administrator's list of allowed
// sites, when there is one, is the only say for every URL a launch uses.
#pragma once

#include "app/descriptor.h"

#include <cstddef>

// Bounds of an origin's text and of the refusal's message, terminator
// included.
enum { SITE_ORIGIN_SIZE = 128, SITE_MESSAGE_SIZE = 512 };

// The machine's policy below HKEY_LOCAL_MACHINE, which only an administrator
// can write: the REG_MULTI_SZ value "AllowedSites", one origin a line, "*."
// before a host for its sub-domains.
constexpr char site_policy_key[] = "Software\\Policies\\Quorvel\\Launcher";
constexpr char site_policy_value[] = "AllowedSites";
constexpr char site_policy_update_value[] = "UpdateCheck";

// The administrator's list as the launch holds it.
struct SitePolicy {
    // The list's lines, each NUL-terminated, an empty line after the last
    // (a REG_MULTI_SZ's form); owned, released by site_policy_free. Null
    // when there is no list, and every site may start applications.
    char* allowed;
    // The administrator's "UpdateCheck" = "timeout": every launch asks its
    // server first, whatever its descriptor's "update" says.
    bool check_first;
};

// 1 when text is a link: "nlp://" or "nlps://", in any letter case.
int site_is_link(const char* text);

// The URL a link stands for: nlp:// as http://, nlps:// as https://, the
// rest as it stands. Returns 1, 0 when link is no link or the URL names no
// origin (its host or port does not parse), -1 when it does not fit out.
int site_link_url(const char* link, char* out, size_t size);

// The origin of url into out. Returns 1, or 0 when url names no host (in
// letters, digits and "-._:%", as a browser writes even an international
// name) and decimal port (1 to 65535) to connect to, or the text does not
// fit.
int site_origin(const char* url, char* out, size_t size);

// 1 when there is no list, or url's origin matches one of its lines: the
// same scheme and port, and the same host or, for "*.domain", a host that
// ends in ".domain". Lines are read with blanks around them and one final
// "/" left out; a line with more than an origin (a path, a user) matches
// nothing. A URL without an origin matches nothing.
int site_allowed(const SitePolicy* policy, const char* url);

// The policy's check of a URL the launch is about to use, member naming
// where it came from ("link", "URL", "codebase", ...): 1 when allowed;
// otherwise 0, "Your administrator does not allow applications from
// <origin>" in message (a URL without an origin is named as it stands,
// without user and password, cut to fit) and the log says which member
// named it.
int site_check(const SitePolicy* policy, const char* member, const char* url, char* message,
               size_t size);

// site_check of every URL the descriptor makes the launch fetch from: the
// code base, href, each resource's, the runtime's, the launcher's (as
// the launch composes them; one too long to compose is never fetched);
// then site_java_options of its vmargs. The icon, and every redirect, the
// download checks as it asks (DownloadState's allowed_sites).
int site_check_descriptor(const SitePolicy* policy, const Descriptor* descriptor, char* message,
                          size_t size);

// The options vmargs gives Java, into out: as they stand when there is no
// list; under a list only those java_command_check_vmargs lets through
// (app/java_command.h), quoted again as they were checked. Returns 1, or 0
// with "Your administrator does not allow the Java option <option>" in
// message (the log names the option), or "Error, command line too long"
// when they do not fit out.
int site_java_options(const SitePolicy* policy, const char* vmargs, char* out, size_t size,
                      char* message, size_t message_size);

// Releases the list; safe on a zero-filled or already released record.
void site_policy_free(SitePolicy* policy);

#ifdef _WIN32
// Reads the administrator's list and "UpdateCheck" (REG_SZ); never writes
// them. Without the value there
// is no list. A value that cannot be read whole, is not REG_MULTI_SZ or is
// larger than SITE_POLICY_MAX_BYTES counts as a list that allows nothing:
// an administrator's lock does not open by a fault. Logged either way.
enum { SITE_POLICY_MAX_BYTES = 1 << 20 };
void site_policy_read(SitePolicy* policy);

// For a launch from a link whose URL is url (site_link_url gave 1):
// 1 when it may go on: the list allows it, or without a list the user
// trusted its origin before or answers Yes now, which trusts it from then
// on; 0 when the user answered No; -1 when the list refuses it (message
// as for site_check). Runs on the launch's worker thread: the question
// ("Launch", Yes and No, No the default) has no owner window and is set to
// the foreground. A downloaded descriptor's site is asked about the same way.
int site_admit_link(const SitePolicy* policy, const char* url, char* message, size_t size);
#endif
