#pragma once

// What the add, delete and comment paths share: the zip engine and the
// message library's report callback for add records.

#include "common/records.h"

extern "C" int dzipS(ZipCommand *cmd);

// MessageDisplayAdd of the message library, bound by ordinal as the rest of
// the system does; null when the library cannot be loaded.
EngineMessageCallback messageDisplayAdd();
