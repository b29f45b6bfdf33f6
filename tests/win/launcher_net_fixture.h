// The fixture of the end-to-end tests against a scripted code base server
// on 127.0.0.1: jars as the server sends them, the site's folders, the
// requests the server got, and descriptors of the code base /app/.
#pragma once

#include "tests/support/jar_maker.h"
#include "tests/support/test_server.h"
#include "tests/win/launcher_fixture.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

inline const char LAST_MODIFIED[] = "Tue, 15 Nov 1994 08:12:31 GMT";

// A jar of about size bytes, its one entry named after it.
inline std::string body_of(const std::string& name, size_t size = 3000)
{
    std::string content = name + " ";
    while (content.size() + 2 * name.size() + 120 < size)
        content += static_cast<char>('a' + content.size() % 26);
    return make_jar(name + ".txt", content);
}

inline CannedResponse ok(const std::string& body)
{
    return http_response("200 OK",
                         {"Content-Length: " + std::to_string(body.size()),
                          std::string("Last-Modified: ") + LAST_MODIFIED},
                         body);
}

inline std::string url_of(int port, const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

// The site cache folder of a code base http://127.0.0.1:<port>/app/.
inline std::string site_folder(int port)
{
    return "C:\\quorvel\\launcher\\cache\\http###127.0.0.1#" + std::to_string(port) + "#app#\\";
}

// The folder of the n-th application of that code base.
inline std::string numbered_site_folder(int port, int n)
{
    std::string first = site_folder(port);
    return first.substr(0, first.size() - 1) + "~" + std::to_string(n) + "\\";
}

// Where that site's new bodies wait until their release is whole.
inline std::string staged_folder(int port)
{
    return "C:\\quorvel\\launcher\\releases\\http###127.0.0.1#" + std::to_string(port) +
           "#app#\\staged\\";
}

inline std::string request_line(const std::string& request)
{
    return request.substr(0, request.find("\r\n"));
}

inline std::vector<std::string> request_lines(TestServer& server)
{
    std::vector<std::string> lines;
    for (const std::string& request : server.requests())
        lines.push_back(request_line(request));
    return lines;
}

inline std::string java_line(int port, const std::string& tail)
{
    return std::string(JAVA) + " -cp " + site_folder(port) + "* " + tail;
}

inline const std::string SITES = "C:\\quorvel\\launcher\\sites\\";
inline const std::string RUNTIME = "C:\\quorvel\\launcher\\java\\";

inline bool has_date(const std::string& request)
{
    return request.find("\r\nIf-Modified-Since: ") != std::string::npos;
}

inline std::set<std::string> install_root_names()
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("C:\\quorvel\\launcher"))
        names.insert(entry.path().filename().string());
    return names;
}

class LauncherNetE2E : public LauncherE2E {
protected:
    // A descriptor of the code base /app/ on the server, as text.
    std::string nlp(const std::string& resources, const std::string& extra = "")
    {
        return "{\"codebase\": \"" + url_of(server_.port(), "/app/") + "\", \"resources\": [" +
               resources + "], \"mainclass\": \"app.Main\"" + extra + "}";
    }

    std::string descriptor(const std::string& resources, const std::string& extra = "")
    {
        return write_descriptor("app.nlp", nlp(resources, extra));
    }

    void run_java(const std::string& path)
    {
        ResetEvent(java_started_);
        run("/S \"" + path + "\"");
        ASSERT_TRUE(wait_for_java());
    }

    TestServer server_;
};

