// What a Java runtime's version says, in every form runtimes and their
// archives write it: 1.8.0_181, 1.8.0_181-b13, 8u181, 8u392b08,
// 8.0.1810.13 (a Java 8 java.exe's file version, update times ten), 17,
// 17.0.9, 17.0.9+9, 17.0.9_9 (the "+" of an archive name), 17.0.9.0 (a
// later java.exe's file version, which holds no build), 17.0.9.8.1 (a
// vendor's build and revision after the version), 21+35, a suffix such as
// -LTS. Lines 1.8 and 8 are one line. Versions of the launcher itself are
// not Java versions: install/update compares them as dotted decimals.
#pragma once

#include <cstddef>

struct JavaVersion {
    unsigned line;    // 8 for 1.8.0_181 and 8u181; 17 for 17.0.9
    unsigned interim; // the second number from Java 9 on (17.1.x), the third before
    unsigned update;  // 181 of 8u181, 9 of 17.0.9
    unsigned patch;   // 1 of 11.0.16.1
    unsigned build;   // 13 of 8u181-b13, 9 of 17.0.9+9; 0 when has_build is 0
    int has_build;
};

// Parses the whole text (one optional suffix of "-" and letters, digits,
// "." or "-" allowed at its end) into out. 1 on success; 0 when the text
// is no Java version (out then zeroed). Numbers above 999999 are refused.
int java_version_parse(const char* text, JavaVersion* out);

// > 0 when wanted is newer than installed, else 0 or less. Line, interim,
// update and patch are compared in turn; with those the same, a wanted
// version without a build is never newer (any build of it serves), and one
// with a build is newer only than a smaller build of the same version.
int java_version_compare(const JavaVersion* wanted, const JavaVersion* installed);

// Finds the version in the file name of a runtime archive's descriptor value
// (a name or a whole URL: only the text after its last "/" counts, its
// extension cut when that holds a letter). Names as publishers and
// vendors write them: jre-1.8.0_181.zip, jre-17.0.1.0.zip,
// OpenJDK17U-jre_x64_windows_hotspot_17.0.9_9.zip,
// zulu17.46.19-ca-jre17.0.9-win_x64.zip, jdk-17.0.9_windows-x64_bin.zip,
// amazon-corretto-17.0.9.8.1-windows-x64-jre.zip,
// OpenJDK8U-jre_x64_windows_hotspot_8u392b08.zip. The last version of two
// or more numbers (joined by ".", "u", "_" or "+") wins, else the last lone
// number that stands between "-" or "_" and the name's end, "-" or "_".
// Writes it into out as the name writes it (cut to size - 1, terminated;
// size 0 touches nothing) and returns 1; 0 when the name holds none (out
// then "").
int java_version_of_archive(const char* value, JavaVersion* version, char* out, size_t size);

// The line as its folder is named: "1.8" up to Java 8, "17" from Java 9 on.
// Writes into out (terminated, "" when it does not fit) and returns 1 when
// it fits, else 0.
int java_version_line(const JavaVersion* version, char* out, size_t size);
