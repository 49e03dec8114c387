#pragma once

// The two questions asked before an add: both run modally for `owner`
// through the modal-UI gateway, from any thread.

#include "platform/modal.h"

#include <string>

enum : unsigned {
    IDD_PASSWORD = 175,
    IDD_MULTIVOLUME = 54,
    IDC_PROMPT = 1118,
    IDC_PASSWORD_EDIT = 1151,
    IDC_NO_PASSWORD = 4,
    IDC_KEEP_FILES = 1014,
    IDC_DELETE_FILES = 1015,
    IDC_FORMAT_DISK = 1016,
};

inline constexpr int kPasswordMax = 65;

// Returns IDOK (text in *password), IDCANCEL, or IDC_NO_PASSWORD.
int askPassword(plat::HWND owner, std::string *password);
// Returns IDOK with *choice 0 keep, 1 delete, 2 format, or IDCANCEL.
int askMultiVolume(plat::HWND owner, char driveLetter, int *choice);
