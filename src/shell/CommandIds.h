#pragma once
// Command, indicator and pane numbers of the main frame. They are the framework's
// numbers, so a saved toolbar or shortcut table stays valid from one version to the next.
#include "platform/WinTypes.h"

// Commands of the program.
constexpr UINT ID_FILE_BACKUP = 32773;
constexpr UINT ID_FILE_RESTORE = 32774;
constexpr UINT ID_HELP_ONLINE = 32775;
constexpr UINT ID_FILE_LOGIN = 32776;
constexpr UINT ID_VIEW_REFRESH = 32777;
constexpr UINT ID_VIEW_HISTORY = 32790;
constexpr UINT ID_FILE_VERSIONS = 32791;
constexpr UINT ID_FILE_RESTORE_AS_OF = 32792;
constexpr UINT ID_VIEW_DETAILS = 32801;
constexpr UINT ID_FILE_CHECK_SERVER = 32802;
constexpr UINT ID_VIEW_CUSTOMIZE = 35001;

// Commands of the framework.
constexpr UINT ID_FILE_NEW = 57600;
constexpr UINT ID_FILE_OPEN = 57601;
constexpr UINT ID_FILE_SAVE = 57603;
constexpr UINT ID_FILE_PRINT = 57607;
constexpr UINT ID_FILE_PRINT_PREVIEW = 57609;
// The framework keeps a block of 16 commands for the recent files, one per place in the list.
constexpr UINT ID_FILE_MRU_FILE1 = 57616;
constexpr int RECENT_FILE_COMMANDS = 16;
constexpr UINT ID_FILE_MRU_LAST = ID_FILE_MRU_FILE1 + RECENT_FILE_COMMANDS - 1; // 57631
constexpr UINT ID_EDIT_COPY = 57634;
constexpr UINT ID_EDIT_CUT = 57635;
constexpr UINT ID_EDIT_PASTE = 57637;
constexpr UINT ID_EDIT_UNDO = 57643;
constexpr UINT ID_APP_ABOUT = 57664;
constexpr UINT ID_APP_EXIT = 57665;
constexpr UINT ID_HELP_CONTENT = 57666;
constexpr UINT ID_NEXT_PANE = 57680;
constexpr UINT ID_PREV_PANE = 57681;
constexpr UINT ID_VIEW_TOOLBAR = 59392;
constexpr UINT ID_VIEW_STATUS_BAR = 59393;

constexpr bool IsRecentFileCommand(UINT nID)
{
    return nID >= ID_FILE_MRU_FILE1 && nID <= ID_FILE_MRU_LAST;
}

// Status-bar panes; 0 is the message pane.
constexpr UINT ID_SEPARATOR = 0;
constexpr UINT ID_INDICATOR_CAPS = 59137;
constexpr UINT ID_INDICATOR_NUM = 59138;
constexpr UINT ID_INDICATOR_SCRL = 59139;

// Docking panes.
constexpr UINT IDR_PANE_OPTIONS = 4000;
constexpr UINT IDR_PANE_PROPERTIES = 4001;
