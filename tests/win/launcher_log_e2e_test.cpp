// The launch log of the real Launcher.exe: why a download failed, no
// secret in it, whole lines from launches at once, the turn over.
#include "tests/support/jar_maker.h"
#include "tests/support/log_lines.h"
#include "tests/support/test_server.h"
#include "tests/win/launcher_fixture.h"

#include <map>
#include <set>

namespace {

const std::string LOG = "C:\\quorvel\\launcher\\launcher.log";

class LauncherLogE2E : public LauncherE2E {
protected:
    std::string descriptor(const std::string& codebase)
    {
        return write_descriptor("app.nlp", "{\"codebase\": \"" + codebase +
                                               "\", \"resources\": [\"a.jar\"], "
                                               "\"mainclass\": \"app.Main\"}");
    }
};

TEST_F(LauncherLogE2E, AFailedDownloadLeavesTheUrlAndTheCauseButNoPassword)
{
    place_fake_java();
    TestServer server;
    RefusingPort down;
    const std::string missing = "127.0.0.1:" + std::to_string(server.port()) + "/app/";
    const std::string refusing = "127.0.0.1:" + std::to_string(down.port()) + "/app/";
    const std::pair<std::string, std::string> cases[] = {
        {"http://admin:s3cret@" + missing, "http://" + missing + "a.jar: HTTP/1.0 404 Not Found in "},
        {"http://" + refusing, "http://" + refusing + "a.jar: failed: connection refused (10061)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        close_main_window_after_box(dialogs_, dialogs_.records().size() + 1,
                                    start("/S \"" + descriptor(c.first) + "\""));
        std::string log = read_file(LOG);
        EXPECT_NE(log.find(c.second), std::string::npos) << log;
        EXPECT_NE(log.find("message: Error downloading resource"), std::string::npos);
        EXPECT_EQ(log.find("s3cret"), std::string::npos) << log;
    }
}

TEST_F(LauncherLogE2E, LaunchesAtOnceTurnAnOldLogOverOnceAndWriteWholeLines)
{
    place_fake_java();
    TestServer server;
    const std::string jar = make_jar("a.txt", "a");
    server.on("/app/a.jar",
              http_response("200 OK", {"Content-Length: " + std::to_string(jar.size())}, jar));
    harness_make_folders("C:\\quorvel\\launcher\\");
    const std::string old = std::string(1 << 20, 'o') + "\r\n";
    write_file(LOG + ".1", "oldest");
    write_file(LOG, old);

    std::string path = descriptor("http://127.0.0.1:" + std::to_string(server.port()) + "/app/");
    PROCESS_INFORMATION first = start("/S \"" + path + "\"");
    PROCESS_INFORMATION second = start("/S \"" + path + "\"");
    for (HANDLE process : {first.hProcess, second.hProcess}) {
        EXPECT_EQ(WaitForSingleObject(process, RUN_TIMEOUT_MS), WAIT_OBJECT_0);
        CloseHandle(process);
    }
    EXPECT_EQ(read_file(LOG + ".1"), old);
    std::map<unsigned long, std::vector<std::string>> by_process;
    for (const LogLine& line : log_lines(read_file(LOG)))
        by_process[line.process].push_back(line.text);
    EXPECT_EQ(by_process.count(0), 0u) << by_process[0].front();
    EXPECT_EQ(by_process.size(), 2u);
    for (const auto& [process, texts] : by_process) {
        SCOPED_TRACE(process);
        ASSERT_GE(texts.size(), 2u) << read_file(LOG);
        EXPECT_EQ(texts.front().rfind("start: Quorvel launcher 1.2.1.0 as installer, arguments: "
                                      "\"/S\" \"" + path + "\"", 0),
                  0u)
            << read_file(LOG);
        EXPECT_EQ(texts[texts.size() - 2], "launch done: Java started");
        EXPECT_EQ(texts.back(), "end");
    }
}

} // namespace
