// The publisher check of a downloaded launcher build. Any descriptor may
// name a launcher build, and the build it names replaces the program that
// starts every site's applications; so a signed launcher hands over only
// to builds of its own publisher. Signatures are Authenticode, judged by
// WinVerifyTrust (WINTRUST_ACTION_GENERIC_VERIFY_V2, no user interface, no
// revocation fetch). The publisher is the signing certificate's subject
// name together with the root certificate that its code-signing chain ends
// at, so a certificate renewed by the same authority for the same
// publisher passes. Windows only.
#pragma once

#include <cstddef>

// A verdict's reason for the log, NUL included.
enum { SIGNATURE_REASON_SIZE = 768 };

enum SignatureVerdict {
    // The running program carries no signature: the build is taken
    // unchecked, as an unsigned launcher always took it.
    SIGNATURE_RUNNING_UNSIGNED,
    // The build is validly signed by the running program's publisher.
    SIGNATURE_SAME_PUBLISHER,
    // The build must not be moved, started or announced: its signature does
    // not hold or names another publisher, or the running program is signed
    // but its own publisher cannot be made out (nothing to compare with).
    SIGNATURE_REFUSED,
};

// Judges the build at build_path (system code page) against the running
// program's own file. Writes why into reason (size bytes, cut to fit, always
// terminated when size is not 0) whatever the verdict. Reads both files
// whole; meant for a build just fetched, never for every launch.
SignatureVerdict signature_check_build(const char* build_path, char* reason, size_t size);
