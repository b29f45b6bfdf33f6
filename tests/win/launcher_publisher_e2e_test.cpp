// Releases signed by their publisher, as one table of launches: each step
// has the server give a release signed (or not) by one of three keys made
// with minisign at build time, signed now by the real minisign, and names
// the main class that starts, or none (the error box).
#include "cache/digest.h"
#include "tests/win/launcher_net_fixture.h"

#include <algorithm>

namespace {

enum Signing {
    SIGNED,         // signed by signer, naming named
    CHANGED,        // signed so, then its main class changed
    NO_SIGNATURE,   // naming named, no signature file (404)
    UNSIGNED,       // neither "publickey" nor a signature
};

struct Step {
    const char* main_class;  // app.<Name>, in <name>.jar
    Signing signing;
    char signer;             // key 'a', 'b' or 'c'
    long long timestamp;     // the trusted comment's
    char named;              // the key the descriptor names
    const char* started;     // the main class that starts; "" for the error box
    const char* why;         // in the log, for a refused release
};

const char NOT_SIGNED_BOX[] = "Error, the nlp file is not signed by its publisher";

class LauncherPublisherE2E : public LauncherE2E {
protected:
    void SetUp() override
    {
        LauncherE2E::SetUp();
        place_fake_java();
        first_ = write_descriptor("app.nlp", "{\"codebase\": \"" + url_of(server_.port(), "/app/") +
                                                 "\", \"href\": \"" + href() +
                                                 "\", \"resources\": [], \"mainclass\": \"M\"}");
    }

    std::string href() { return url_of(server_.port(), "/app/app.nlp"); }

    static std::string public_key(char key)
    {
        std::string text = read_file(std::string(PUBLISHER_KEYS) + key + ".pub");
        size_t line = text.find('\n') + 1;
        return text.substr(line, text.find_first_of("\r\n", line) - line);
    }

    // Signs text with key through the real minisign. Wine starts a Unix
    // program without a process to wait for: the signature file is awaited
    // instead, until its four lines are there.
    static std::string sign(const std::string& text, char key, long long timestamp)
    {
        const std::string signature = std::string(PUBLISHER_KEYS) + "sign.nlp.minisig";
        DeleteFileA(signature.c_str());
        write_file(std::string(PUBLISHER_KEYS) + "sign.nlp", text);
        std::string unix_folder = std::string(PUBLISHER_KEYS).substr(2);
        std::string line = "\"Z:\\usr\\bin\\minisign\" -S -s " + unix_folder + key + ".key -m " +
                           unix_folder + "sign.nlp -t timestamp:" + std::to_string(timestamp);
        std::wstring wide = utf8_widen(line.c_str());
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        EXPECT_TRUE(CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process))
            << line;
        for (HANDLE handle : {process.hThread, process.hProcess})
            if (handle)
                CloseHandle(handle);
        std::string signed_text;
        for (DWORD waited = 0; waited < RUN_TIMEOUT_MS; waited += 10) {
            signed_text = read_file(signature);
            if (std::count(signed_text.begin(), signed_text.end(), '\n') == 4)
                return signed_text;
            Sleep(10);
        }
        ADD_FAILURE() << line << " wrote no signature";
        return "";
    }

    void serve(const Step& step)
    {
        std::string name = step.main_class + 4;
        for (char& c : name)
            c = static_cast<char>(tolower(c));
        std::string jar = body_of(name);
        std::string jar_path = dir_.file(name + ".jar");
        write_file(jar_path, jar);
        char pin[DIGEST_HEX_SIZE];
        ASSERT_EQ(digest_sha256_file(jar_path.c_str(), pin), 1);
        std::string key = step.signing == UNSIGNED
                              ? ""
                              : ", \"publickey\": \"" + public_key(step.named) + "\"";
        std::string text = "{\"codebase\": \"" + url_of(server_.port(), "/app/") +
                           "\", \"href\": \"" + href() + "\", \"resources\": [\"" + name +
                           ".jar\"], \"mainclass\": \"" + step.main_class +
                           "\", \"sha256\": {\"" + name + ".jar\": \"" + pin + "\"}" + key + "}";
        std::string signature;
        if (step.signing == SIGNED || step.signing == CHANGED)
            signature = sign(text, step.signer, step.timestamp);
        if (step.signing == CHANGED)
            text.replace(text.find(step.main_class), strlen(step.main_class), "app.Evil");
        CannedResponse missing = http_response("404 Not Found", {"Content-Length: 0"}, "");
        server_.on("/app/app.nlp", ok(text));
        server_.on("/app/app.nlp.minisig", signature.empty() ? missing : ok(signature));
        server_.on("/app/" + name + ".jar", ok(jar));
    }

    void run_step(const Step& step, size_t index)
    {
        SCOPED_TRACE("step " + std::to_string(index) + ": " + step.main_class);
        serve(step);
        size_t starts = java_starts().size();
        size_t boxes = dialogs_.records().size();
        size_t logged = log().size();
        if (*step.started) {
            ResetEvent(java_started_);
            run("/S \"" + first_ + "\"");
            ASSERT_TRUE(wait_for_java());
            std::vector<std::string> lines = java_starts();
            ASSERT_EQ(lines.size(), starts + 1);
            EXPECT_NE(lines.back().find(std::string(" ") + step.started), std::string::npos)
                << lines.back();
            EXPECT_EQ(dialogs_.records().size(), boxes);
        } else {
            close_main_window_after_box(dialogs_, boxes + 1, start("/S \"" + first_ + "\""));
            EXPECT_EQ(dialogs_.records().back(), error_box(NOT_SIGNED_BOX));
            EXPECT_EQ(java_starts().size(), starts);
        }
        if (*step.why) {
            EXPECT_NE(log().find(step.why, logged), std::string::npos) << log().substr(logged);
        }
    }

    std::string log() { return read_file(LAUNCH_LOG); }

    TestServer server_;
    std::string first_;
};

TEST_F(LauncherPublisherE2E, OnlyReleasesThePinnedKeySignedRunAndNoneOlder)
{
    const Step steps[] = {
        // Naming a key without a signature, and nothing to start instead.
        {"app.Zero", NO_SIGNATURE, 'a', 0, 'a', "", "not signed"},
        // The first signed release pins key a; the next, later, runs.
        {"app.One", SIGNED, 'a', 100, 'a', "app.One", ""},
        {"app.Two", SIGNED, 'a', 200, 'a', "app.Two", ""},
        // Each of these gives way to the running release.
        {"app.Three", CHANGED, 'a', 300, 'a', "app.Two", "signature does not verify"},
        {"app.Three", SIGNED, 'b', 300, 'b', "app.Two", "the application's key is"},
        {"app.Three", UNSIGNED, 'a', 0, 'a', "app.Two", "not signed"},
        {"app.One", SIGNED, 'a', 100, 'a', "app.Two", "older than the running release's"},
        // Key a signs the move to key c; from then on only c is the publisher's.
        {"app.Four", SIGNED, 'a', 400, 'c', "app.Four", ""},
        {"app.Five", SIGNED, 'a', 500, 'a', "app.Four", "the application's key is"},
        {"app.Five", SIGNED, 'c', 500, 'c', "app.Five", ""},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; i++)
        run_step(steps[i], i);
}

} // namespace
