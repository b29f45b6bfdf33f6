// The shortcut script the installation generates, run by Wine's script host
// (its command interpreter does not start .vbs files by association), must
// save a Cameras.lnk that opens the sites folder with the launcher's icon.
// (Wine's script host does not store the window style, so it is not read.)
#include "install/install.h"

#include "tests/support/tempdir.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

namespace {

struct Shortcut {
    bool loaded;
    std::string target, description, folder, icon;
    int icon_index;
};

Shortcut read_shortcut(const std::string& path)
{
    Shortcut shortcut = {false, "", "", "", "", -1};
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return shortcut;
    std::wstring wide(path.begin(), path.end());
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
        char text[MAX_PATH];
        shortcut.loaded = true;
        if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, 0)))
            shortcut.target = text;
        if (SUCCEEDED(link->GetDescription(text, sizeof text)))
            shortcut.description = text;
        if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text)))
            shortcut.folder = text;
        if (SUCCEEDED(link->GetIconLocation(text, sizeof text, &shortcut.icon_index)))
            shortcut.icon = text;
    }
    if (file)
        file->Release();
    link->Release();
    return shortcut;
}

TEST(ShortcutScript, WineScriptHostSavesTheCamerasShortcut)
{
    harness_make_folders("C:\\quorvel\\launcher\\sites\\");
    char desktop[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop), S_OK);
    std::string link_path = std::string(desktop) + "\\Cameras.lnk";
    DeleteFileA(link_path.c_str());

    char script[INSTALL_SCRIPT_SIZE];
    int length = install_shortcut_script(script, sizeof script, "Cameras",
                                         "Launcher Cameras Shortcut",
                                         "C:\\quorvel\\launcher\\Launcher.exe",
                                         "C:\\quorvel\\launcher\\sites\\", "C:\\quorvel\\launcher\\");
    ASSERT_GT(length, 0);
    TempDir dir;
    write_file(dir.file("shortcut.vbs"), std::string(script, static_cast<size_t>(length)));
    RunResult run = harness_run("wscript.exe //B \"" + dir.file("shortcut.vbs") + "\"", 60000);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);

    CoInitialize(nullptr);
    Shortcut shortcut = read_shortcut(link_path);
    CoUninitialize();
    ASSERT_TRUE(shortcut.loaded) << link_path;
    EXPECT_EQ(shortcut.target, "C:\\quorvel\\launcher\\sites\\");
    EXPECT_EQ(shortcut.description, "Launcher Cameras Shortcut");
    EXPECT_EQ(shortcut.folder, "C:\\quorvel\\launcher\\");
    EXPECT_EQ(shortcut.icon, "C:\\quorvel\\launcher\\Launcher.exe");
    EXPECT_EQ(shortcut.icon_index, 0);
    DeleteFileA(link_path.c_str());
    EXPECT_TRUE(harness_remove_tree("C:\\quorvel"));
}

} // namespace
