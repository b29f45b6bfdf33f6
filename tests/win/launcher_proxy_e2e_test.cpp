// The real Launcher.exe behind a real proxy (tinyproxy), set as the user's
// proxy where Windows keeps it and WinHTTP reads it. Only "localhost" goes
// through it: other programs of the prefix use 127.0.0.1, which is bypassed.
#include "tests/win/launcher_servers_fixture.h"

#include <algorithm>

namespace {

const char CONNECTIONS[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

void append_text(std::string* data, const std::string& text)
{
    DWORD length = static_cast<DWORD>(text.size());
    data->append(reinterpret_cast<const char*>(&length), sizeof length);
    data->append(text);
}

class LauncherProxyE2E : public LauncherServersE2E {
protected:
    void TearDown() override
    {
        RegDeleteKeyValueA(HKEY_CURRENT_USER, CONNECTIONS, "DefaultConnectionSettings");
        LauncherServersE2E::TearDown();
    }

    // The user's fixed proxy: the server's port on 127.0.0.1, with bypass.
    void use_proxy(const std::string& server, const std::string& bypass = "127.0.0.1")
    {
        set_settings(PROXY, "127.0.0.1:" + std::to_string(ports_.at(server)), bypass, "");
    }

    // The value's layout: version 0x46, a change count, the flags, then the
    // proxy, the bypass list and the script's address, each a length and its
    // text, then 32 bytes the launcher never reads.
    enum { DIRECT = 1, PROXY = 2, SCRIPT = 4 };
    void set_settings(DWORD flags, const std::string& proxy, const std::string& bypass,
                      const std::string& script)
    {
        const DWORD head[3] = {0x46, 1, DIRECT | flags};
        std::string data(reinterpret_cast<const char*>(head), sizeof head);
        append_text(&data, proxy);
        append_text(&data, bypass);
        append_text(&data, script);
        data.append(32, '\0');
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, CONNECTIONS, "DefaultConnectionSettings",
                                  REG_BINARY, data.data(), static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }

    // The request lines tinyproxy logged.
    static std::vector<std::string> proxied()
    {
        static const char MARK[] = "Request (file descriptor ";
        std::vector<std::string> lines;
        std::istringstream log(read_file(SERVERS + "proxy.log"));
        std::string line;
        while (std::getline(log, line)) {
            size_t at = line.find(MARK);
            if (at != std::string::npos)
                lines.push_back(line.substr(line.find("): ", at) + 3));
        }
        return lines;
    }

    std::string at(const std::string& server) const
    {
        return "localhost:" + std::to_string(ports_.at(server));
    }
};

TEST_F(LauncherProxyE2E, HttpAndHttpsGoThroughTheProxyAndRevalidate)
{
    use_proxy("proxy");
    // The http:// code base answers 301 with the https:// address: the
    // proxy is asked for the whole URL, then opens a tunnel.
    std::string plain = codebase("plain", "http");
    std::string path = descriptor(plain);
    launch(path);
    launch(path);
    EXPECT_EQ(read_file(site(plain) + "a.jar"), JAR_A);
    std::string get = "GET http://" + at("plain") + "/app/a.jar HTTP/1.1";
    std::string tunnel = "CONNECT " + at("good") + " HTTP/1.1";
    EXPECT_EQ(proxied(), (std::vector<std::string>{get, tunnel, get, tunnel}));
    EXPECT_EQ(served("plain"), std::vector<std::string>(2, "GET /app/a.jar 301 via proxy"));
    EXPECT_EQ(served("good"),
              (std::vector<std::string>{"GET /app/a.jar 200", "GET /app/a.jar 304"}));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
}

TEST_F(LauncherProxyE2E, ASetupScriptRoutesEachHost)
{
    write_file(SERVERS + "www/proxy.pac",
               "function FindProxyForURL(url, host) { return host == 'localhost' ? "
               "'PROXY 127.0.0.1:" + std::to_string(ports_.at("proxy")) + "' : 'DIRECT'; }");
    std::string plain = std::to_string(ports_.at("plain"));
    set_settings(SCRIPT, "", "", "http://127.0.0.1:" + plain + "/proxy.pac");
    // 127.0.0.1 is answered DIRECT, the https://localhost it redirects to
    // goes through the proxy.
    std::string direct = "http://127.0.0.1:" + plain + "/app/";
    launch(descriptor(direct));
    // How often Wine's script engine fetches the script is its own affair
    // (twice on a busy machine): what counts is that it is asked first.
    std::vector<std::string> lines = served("plain");
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"GET /proxy.pac 200", "GET /app/a.jar 301"}));
    EXPECT_EQ(proxied(), std::vector<std::string>{"CONNECT " + at("good") + " HTTP/1.1"});
    EXPECT_EQ(read_file(site(direct) + "a.jar"), JAR_A);
}

TEST_F(LauncherProxyE2E, BypassedHostsGoDirectly)
{
    use_proxy("proxy", "127.0.0.1; LOCALHOST");
    launch(descriptor(codebase("plain", "http")));
    EXPECT_EQ(served("plain"), std::vector<std::string>{"GET /app/a.jar 301"});
    EXPECT_EQ(proxied(), std::vector<std::string>{});
}

TEST_F(LauncherProxyE2E, ARefusedTunnelOrADownProxyFailsAndTheCacheServes)
{
    // tinyproxy opens tunnels to the "good" port alone.
    use_proxy("proxy");
    launch_failing(descriptor(codebase("expired")));
    EXPECT_EQ(proxied(), std::vector<std::string>{"CONNECT " + at("expired") + " HTTP/1.1"});
    EXPECT_EQ(served("expired"), std::vector<std::string>{});

    use_proxy("down");
    std::string good = codebase("good");
    launch_failing(descriptor(good));
    EXPECT_EQ(dialogs_.records(),
              std::vector<DialogRecord>(2, error_box("Error downloading resource")));

    harness_make_folders(site(good));
    write_file(site(good) + "a.jar", "cached a");
    launch(descriptor(good));
    EXPECT_EQ(read_file(site(good) + "a.jar"), "cached a");
    EXPECT_EQ(dialogs_.records().size(), 2u);
    EXPECT_EQ(served("good"), std::vector<std::string>{});
}

} // namespace
