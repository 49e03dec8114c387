#pragma once

// The system's own window messages. Numbers are fixed: other deliverables and
// the shell host exchange them.

#include <cstdint>

enum : std::uint32_t {
    WM_OPERATION_DONE = 22222,       // request record / 1 add or delete, 2 extract, 3 test, 4 cabinet
    WM_ADD_TO_ARCHIVE = 22223,       // mode / file list or update record
    WM_SELECT_ARCHIVE = 22224,       // 0 open, 1 add to, 2 conversion target / file list
    WM_REMOVE_FROM_ARCHIVE = 22225,  // - / stored name of one entry
    WM_SETTINGS_CHANGED = 22227,
    WM_PROGRESS_STEP = 22334,
    WM_PROGRESS_TOTAL_RANGE = 22335,
    WM_PROGRESS_FILE_RANGE = 22336,
    WM_PROGRESS_FILE_NAME = 22337,
    WM_PROGRESS_QUERY_CANCEL = 22338,
    WM_PROGRESS_CLOSE = 22339,
    WM_PROGRESS_DONE = 22340,
    WM_SAVE_LAYOUT = 22341,
    WM_CHILD_ACTIVATED = 22342,
    WM_SHOW_CONFIG = 22343,          // configuration page set / owner window
};

// lParam values of WM_OPERATION_DONE.
enum : int {
    OPERATION_ADD_OR_DELETE = 1,
    OPERATION_EXTRACT = 2,
    OPERATION_TEST = 3,
    OPERATION_CABINET = 4,
};
