// The fixture of the tests of Launcher.exe against the real servers that
// tests/win/net-servers starts before the test program: nginx with TLS, one
// port per certificate, a server that cuts its TLS stream and tinyproxy.
// The prefix's machine store trusts the test authority, as an
// administrator's would.
#pragma once

#include "tests/support/jar_maker.h"
#include "tests/win/launcher_fixture.h"

#include <map>
#include <sstream>

inline const std::string SERVERS = NET_SERVERS;
inline const std::string UNTRUSTED = "Error, the server's certificate is not trusted localhost";

inline std::map<std::string, int> server_ports()
{
    std::map<std::string, int> ports;
    std::istringstream lines(read_file(SERVERS + "ports"));
    std::string name;
    int port;
    while (lines >> name >> port)
        ports[name] = port;
    return ports;
}

// The jar every server's code base holds.
inline const std::string JAR_A = make_jar("a.txt", "jar a over TLS");

class LauncherServersE2E : public LauncherE2E {
protected:
    void SetUp() override
    {
        LauncherE2E::SetUp();
        // The servers append to their logs: each test reads its own requests.
        write_file(SERVERS + "access.log", "");
        write_file(SERVERS + "proxy.log", "");
        ASSERT_TRUE(trust_root(SERVERS + "ca.pem"));
        place_fake_java();
        write_file(SERVERS + "www/app/a.jar", JAR_A);
    }

    std::string codebase(const std::string& server, const std::string& scheme = "https") const
    {
        return scheme + "://localhost:" + std::to_string(ports_.at(server)) + "/app/";
    }

    // The site cache folder of codebase: its text with ":" and "/" as "#".
    static std::string site(std::string codebase)
    {
        for (char& c : codebase)
            c = c == ':' || c == '/' ? '#' : c;
        return "C:\\quorvel\\launcher\\cache\\" + codebase + "\\";
    }

    // One application per code base: each has a sites copy of its own, so
    // one's release is never another's previous one.
    std::string descriptor(const std::string& codebase, const std::string& resource = "a.jar")
    {
        std::string name = site(codebase);
        name = name.substr(name.rfind('\\', name.size() - 2) + 1);
        name.back() = '_';
        return write_descriptor(name + ".nlp", "{\"codebase\": \"" + codebase +
                                               "\", \"resources\": [\"" + resource +
                                               "\"], \"mainclass\": \"app.Main\"}");
    }

    void launch(const std::string& path)
    {
        ResetEvent(java_started_);
        run("/S \"" + path + "\"");
        ASSERT_TRUE(wait_for_java());
    }

    // The launch fails with one box; the window then waits for the user.
    void launch_failing(const std::string& path)
    {
        close_main_window_after_box(dialogs_, dialogs_.records().size() + 1,
                                    start("/S \"" + path + "\""));
    }

    // nginx's log of the requests on the server's port: "GET /app/a.jar
    // 200", and " via proxy" after it for a request that tinyproxy passed on.
    std::vector<std::string> served(const std::string& server) const
    {
        std::vector<std::string> lines;
        for (const Served& entry : log_of(server))
            lines.push_back(entry.line);
        return lines;
    }

    // Each request of the server's log with the number nginx gave its
    // connection and its place among that connection's requests (from 1).
    struct Served {
        std::string line;
        long connection;
        int place;
    };
    std::vector<Served> log_of(const std::string& server) const
    {
        std::vector<Served> entries;
        std::istringstream log(read_file(SERVERS + "access.log"));
        std::string line, port, method, target, version, status, via;
        while (std::getline(log, line)) {
            std::istringstream fields(line);
            Served entry;
            fields >> port >> entry.connection >> entry.place >> method >> target >> version >>
                status;
            std::getline(fields, via);
            entry.line = method + " " + target + " " + status +
                         (via.find("tinyproxy") != std::string::npos ? " via proxy" : "");
            if (port == std::to_string(ports_.at(server)))
                entries.push_back(entry);
        }
        return entries;
    }

    std::map<std::string, int> ports_ = server_ports();
};

