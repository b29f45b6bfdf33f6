// The launcher's fixed home. All absolute, plain ASCII.
#pragma once

#define INSTALL_ROOT "C:\\quorvel\\launcher\\"

constexpr char install_root[] = INSTALL_ROOT;
constexpr char cache_root[] = INSTALL_ROOT "cache\\";
constexpr char sites_folder[] = INSTALL_ROOT "sites\\";
// A descriptor being fetched, until it is checked and moved to the sites folder.
constexpr char fetch_folder[] = INSTALL_ROOT "fetch\\";
// A release's files on their way: checked, kept aside until the whole
// release is in hand, then committed into the cache and the sites folder.
constexpr char releases_root[] = INSTALL_ROOT "releases\\";
constexpr char java_executable[] = INSTALL_ROOT "java\\bin\\java.exe";
// One folder a Java line that the java folder does not hold: runtimes\17\.
constexpr char runtimes_folder[] = INSTALL_ROOT "runtimes\\";
// Where fetched runtime archives and launcher builds are stored, each kind
// in a folder of its own that holds nothing else, so a build's name can
// never be one of the launcher's own files.
constexpr char runtime_builds_folder[] = INSTALL_ROOT "components\\runtime\\";
constexpr char launcher_builds_folder[] = INSTALL_ROOT "components\\launcher\\";
constexpr char installed_launcher[] = INSTALL_ROOT "Launcher.exe";
constexpr char launch_log[] = INSTALL_ROOT "launcher.log";
// The application shortcuts the launcher made, which the uninstall removes.
constexpr char shortcut_record[] = INSTALL_ROOT "shortcuts.txt";

#undef INSTALL_ROOT
