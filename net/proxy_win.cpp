// The user's proxy settings through WinHTTP, and the proxy logon through
// SSPI with the credentials of the logged-on user.
#define SECURITY_WIN32
#include "net/proxy.h"

#include "net/url.h"

#include <windows.h>
#include <security.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string narrow(const wchar_t* text)
{
    if (!text)
        return "";
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    if (size <= 0 || !WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr))
        return "";
    out.resize(strlen(out.c_str()));
    return out;
}

std::wstring wide(const char* text)
{
    int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(size > 0 ? static_cast<size_t>(size) : 1, L'\0');
    if (size <= 0 || !MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], size))
        return L"";
    out.resize(wcslen(out.c_str()));
    return out;
}

// The user's settings, read once per process: one launch.
struct Settings {
    bool read;
    bool automatic;        // detection or a script: asked per URL...
    std::wstring script;   // ...with this script's address, if any
    std::string list;      // the fixed proxy...
    std::string bypass;    // ...and what goes around it
    HINTERNET session;     // for WinHttpGetProxyForUrl, opened when first needed
};

Settings settings;

struct Known {
    std::string origin;  // scheme://host:port
    int through;
    ProxyRoute route;
};

std::vector<Known> known;

void read_settings(void)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    settings.read = true;
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return;
    settings.automatic = config.fAutoDetect || config.lpszAutoConfigUrl;
    settings.script = config.lpszAutoConfigUrl ? config.lpszAutoConfigUrl : L"";
    settings.list = narrow(config.lpszProxy);
    settings.bypass = narrow(config.lpszProxyBypass);
    GlobalFree(config.lpszAutoConfigUrl);
    GlobalFree(config.lpszProxy);
    GlobalFree(config.lpszProxyBypass);
}

// Detection or the script for url: 1 or 0 with *route set, -1 when neither
// answers (no proxy was detected, the script cannot be had).
int ask_automatic(const char* url, ProxyRoute* route)
{
    if (!settings.session)
        settings.session = WinHttpOpen(L"simple http", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    if (settings.script.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = settings.script.c_str();
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info = {};
    if (!settings.session ||
        !WinHttpGetProxyForUrl(settings.session, wide(url).c_str(), &options, &info))
        return -1;
    int through = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY &&
                  proxy_route_from_list(url, narrow(info.lpszProxy).c_str(),
                                        narrow(info.lpszProxyBypass).c_str(), route);
    GlobalFree(info.lpszProxy);
    GlobalFree(info.lpszProxyBypass);
    return through;
}

} // namespace

int proxy_for_url(const char* url, ProxyRoute* route)
{
    *route = {"", 0};
    UrlParts parts;
    url_parse(url, &parts);
    std::string origin = std::string(parts.scheme) + "://" + parts.host + ":" + parts.port;
    for (const Known& entry : known) {
        if (entry.origin == origin) {
            *route = entry.route;
            return entry.through;
        }
    }
    if (!settings.read)
        read_settings();
    int through = settings.automatic ? ask_automatic(url, route) : -1;
    // Detection that found nothing is not tried again: it costs every time.
    if (through < 0) {
        settings.automatic = false;
        through = proxy_route_from_list(url, settings.list.c_str(), settings.bypass.c_str(), route);
    }
    known.push_back({origin, through, *route});
    return through;
}

struct ProxyAuth {
    CredHandle credentials;
    CtxtHandle context;
    bool has_context;
};

namespace {

bool decode(const char* base64, std::vector<BYTE>* out)
{
    DWORD size = 0;
    if (!*base64)
        return true;
    if (!CryptStringToBinaryA(base64, 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr))
        return false;
    out->resize(size);
    return CryptStringToBinaryA(base64, 0, CRYPT_STRING_BASE64, out->data(), &size, nullptr,
                                nullptr) != 0;
}

bool write_line(const char* scheme, const BYTE* token, DWORD length, char* line, size_t size)
{
    DWORD chars = 0;
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    if (!CryptBinaryToStringA(token, length, flags, nullptr, &chars))
        return false;
    std::string text(chars, '\0');
    if (!CryptBinaryToStringA(token, length, flags, &text[0], &chars))
        return false;
    text.resize(strlen(text.c_str()));
    int written = snprintf(line, size, "Proxy-Authorization: %s %s\r\n", scheme, text.c_str());
    return written > 0 && static_cast<size_t>(written) < size;
}

} // namespace

int proxy_auth_step(ProxyAuth** auth, const char* scheme, const char* challenge,
                    const char* proxy_host, char* line, size_t size)
{
    if (!*auth) {
        *auth = new ProxyAuth{};
        TimeStamp expiry;
        if (AcquireCredentialsHandleA(nullptr, const_cast<char*>(scheme), SECPKG_CRED_OUTBOUND,
                                      nullptr, nullptr, nullptr, nullptr, &(*auth)->credentials,
                                      &expiry) != SEC_E_OK) {
            delete *auth;
            *auth = nullptr;
            return PROXY_AUTH_NONE;
        }
    } else if (!*challenge) {
        // The proxy turned the last token down.
        return PROXY_AUTH_NONE;
    }
    std::vector<BYTE> input;
    if (!decode(challenge, &input))
        return PROXY_AUTH_NONE;
    SecBuffer in_buffer = {static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN, input.data()};
    SecBufferDesc in = {SECBUFFER_VERSION, 1, &in_buffer};
    std::vector<BYTE> output(65536);
    SecBuffer out_buffer = {static_cast<unsigned long>(output.size()), SECBUFFER_TOKEN,
                            output.data()};
    SecBufferDesc out = {SECBUFFER_VERSION, 1, &out_buffer};
    std::string target = std::string("HTTP/") + proxy_host;
    ULONG attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status = InitializeSecurityContextA(
        &(*auth)->credentials, (*auth)->has_context ? &(*auth)->context : nullptr,
        &target[0], ISC_REQ_CONNECTION, 0, SECURITY_NATIVE_DREP, input.empty() ? nullptr : &in, 0,
        &(*auth)->context, &out, &attributes, &expiry);
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)
        (*auth)->has_context = true;
    if ((status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) || out_buffer.cbBuffer == 0 ||
        !write_line(scheme, output.data(), out_buffer.cbBuffer, line, size))
        return PROXY_AUTH_NONE;
    return status == SEC_I_CONTINUE_NEEDED ? PROXY_AUTH_MORE : PROXY_AUTH_LAST;
}

void proxy_auth_end(ProxyAuth* auth)
{
    if (!auth)
        return;
    if (auth->has_context)
        DeleteSecurityContext(&auth->context);
    FreeCredentialsHandle(&auth->credentials);
    delete auth;
}
