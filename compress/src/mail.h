#pragma once

// The mail step: hands finished archives to the mail system as attachments.

#include "platform/messages.h"

#include <string>
#include <vector>

// Opens the mail system's send dialog with one attachment per path, modal to
// `owner`. Silent when the mail system is missing, on success, user abort or
// logon failure; any other failure shows message 61842.
void mailFiles(const std::vector<std::string> &paths, plat::HWND owner);
