#pragma once

// Handle types used by the shared records.

#include "platform/globalmem.h"

#include <string>
#include <vector>

class QObject;
namespace plat {
class ThreadObject;
}

using HWND = QObject *;               // a window is a QObject with a window procedure
using UITHREAD = plat::ThreadObject *; // a thread object with a message queue
using HGLOBAL = plat::HGLOBAL;         // movable global memory block

// Ordered list of texts handed between deliverables (archive paths, folders).
using StringList = std::vector<std::string>;
