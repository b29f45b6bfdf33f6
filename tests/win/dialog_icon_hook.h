// The contract between the dialog watcher and dialog_icon_hook.dll, which
// the watcher hooks into the thread of another process's message box.
// Icon handles mean nothing outside the process that loaded them (under
// Wine GetIconInfo and DrawIconEx refuse them), so the box's own process
// tells its icon: on DIALOG_ICON_MESSAGE the hook stores the kind's index
// in DIALOG_ICON_KINDS + 1 as the box's property DIALOG_ICON_PROPERTY.
#pragma once

inline const char DIALOG_ICON_MESSAGE[] = "quorvel-dialog-icon";
inline const char DIALOG_ICON_PROPERTY[] = "quorvel-dialog-icon";
inline const char DIALOG_ICON_HOOK[] = "dialog_icon_hook";

// The system icons a box may show, then the two answers that are none of
// them: no icon control at all, and an icon that is not a system icon.
inline const char* const DIALOG_ICON_KINDS[] = {"error", "information", "warning", "question",
                                                "none", "unknown"};
