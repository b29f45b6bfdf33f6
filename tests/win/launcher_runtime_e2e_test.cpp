// Runtimes known by what they are, each archive installed once; a Java or a
// launcher build that does not start is told.
#include "runtime/version.h"
#include "tests/win/launcher_net_fixture.h"

namespace {

TEST_F(LauncherNetE2E, EachRuntimeArchiveIsInstalledOnceAndServesEveryNameOfItsVersion)
{
    // Stand-ins of real runtimes as they ship (tests/win/CMakeLists.txt).
    const std::string temurin = "OpenJDK17U-jre_x64_windows_hotspot_17.0.9_9.zip";
    for (const auto& [name, zip] : {std::pair<std::string, const char*>{"jre-1.8.0_181.zip", "8.0.1810.13"},
                                    {"jre-8u191.zip", "8.0.1910.12"}, {temurin, "17.0.9.0"}})
        server_.on("/app/" + name, ok(read_file(harness_program_folder() + "runtime-" + zip + ".zip")));
    const std::string bin_17 = "C:\\quorvel\\launcher\\runtimes\\17\\bin\\";
    const std::string bin_8 = RUNTIME + "bin\\";
    // Each launch: its descriptor (one a line, so neither line's folder goes
    // unnamed), jre, the archive fetched ("" none), the bin folder whose
    // java.exe starts and its file version after the launch.
    const struct {
        const char *nlp, *jre, *fetched;
        std::string bin;
        const char* version;
    } steps[] = {
        {"8.nlp", "jre-1.8.0_181.zip", "jre-1.8.0_181.zip", bin_8, "8.0.1810.13"},
        {"8.nlp", "jre-8u181.zip", "", bin_8, "8.0.1810.13"},
        {"8.nlp", "jre-1.8.0_181-b13.zip", "", bin_8, "8.0.1810.13"},
        {"17.nlp", temurin.c_str(), temurin.c_str(), bin_17, "17.0.9.0"},
        {"17.nlp", temurin.c_str(), "", bin_17, "17.0.9.0"},
        {"17.nlp", "jdk-17.0.9_windows-x64_bin.zip", "", bin_17, "17.0.9.0"},
        {"8.nlp", "jre-8u191.zip", "jre-8u191.zip", bin_8, "8.0.1910.12"},
        {"8.nlp", "jre-1.8.0_181.zip", "", bin_8, "8.0.1910.12"},
    };
    std::vector<std::string> expected;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.jre);
        // The stand-in records its starts beside itself; a new runtime
        // comes without the old one's record.
        size_t starts = step.fetched[0] ? 0 : java_starts(step.bin + "java-starts.txt").size();
        run_java(write_descriptor(step.nlp, nlp("", ", \"jre\": \"" + std::string(step.jre) + "\"")));
        harness_wait_for_programs_below("C:\\quorvel\\launcher");
        if (step.fetched[0])
            expected.push_back(std::string("GET /app/") + step.fetched + " HTTP/1.1");
        EXPECT_EQ(request_lines(server_), expected);
        char version[VERSION_TEXT_SIZE] = "";
        query_file_version((step.bin + "java.exe").c_str(), version, sizeof version);
        EXPECT_STREQ(version, step.version);
        EXPECT_EQ(java_starts(step.bin + "java-starts.txt").size(), starts + 1);
    }
    // The vendor's top folder became the runtime's root; each runtime keeps
    // what it was installed as.
    EXPECT_EQ(read_file(bin_17 + "..\\release"),
              "JAVA_VERSION=\"17.0.9\"\nJAVA_RUNTIME_VERSION=\"17.0.9+9\"\n");
    EXPECT_EQ(read_file(bin_17 + "..\\installed-as.txt"), "17.0.9_9\n");
    EXPECT_EQ(read_file(RUNTIME + "installed-as.txt"), "8u191\n");
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherNetE2E, AJavaOrALauncherBuildThatDoesNotStartIsTold)
{
    install_copy();
    // No java.exe: the error names it, and nothing is reported as started.
    close_main_window_after_box(dialogs_, 1, start("\"" + descriptor("") + "\"", INSTALLED));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box(
                                      "Error starting Java: " + std::string(JAVA) + " is missing")});
    EXPECT_EQ(read_file(LAUNCH_LOG).find("launch done: Java started"), std::string::npos);

    // A launcher build that cannot start: the previous build stays and
    // starts the application.
    place_fake_java();
    server_.on("/app/launcher-9.0.0.0.exe", ok("no program"));
    run("\"" + descriptor("", ", \"launcher\": \"launcher-9.0.0.0.exe\"") + "\"", INSTALLED);
    ASSERT_TRUE(wait_for_java());
    std::vector<DialogRecord> boxes = dialogs_.records();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1].text, "Quorvel launcher will update and relaunch");
    EXPECT_EQ(boxes[2].text.rfind("Error starting the updated launcher: " + std::string(INSTALLED) +
                                      " cannot be started (error ", 0), 0u) << boxes[2].text;
    EXPECT_EQ(read_file(INSTALLED), read_file(built_launcher()));
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\components\\launcher\\launcher-9.0.0.0.exe"), "no program");
    EXPECT_EQ(java_starts().size(), 1u);
}

} // namespace
