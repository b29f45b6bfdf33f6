#include "install/update.h"

#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "install/signature.h"

#include <windows.h>

bool update_build_taken(const char* program)
{
    char reason[SIGNATURE_REASON_SIZE];
    if (signature_check_build(program, reason, sizeof reason) != SIGNATURE_REFUSED) {
        log_line("launcher: %s taken: %s", program, reason);
        return true;
    }
    if (DeleteFileA(program))
        log_line("launcher: %s refused: %s; removed", program, reason);
    else
        log_line("launcher: %s refused: %s; not removed (error %lu)", program, reason,
                 GetLastError());
    return false;
}

void update_hand_over(const char* program, char* command, const char* shown)
{
    MoveFileExA(program, installed_launcher,
                MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    MessageBoxA(nullptr, "Quorvel launcher will update and relaunch", "Update",
                MB_ICONINFORMATION);
    log_line("launcher: %s replaces %s at the next restart; starting it: %s", program,
             installed_launcher, shown);
    run_hidden(command);
}
