#pragma once

// The cabinet reader's memory and file services on the platform layer, so the
// reader opens cabinets (and the extraction pass writes files) by Windows path
// through the drive table like every other file access of the library.

#include "cabinet/reader.h"
#include "platform/handle.h"

// Services for cab::create(): heap memory, files through plat::createFile and
// friends. Stateless: one value serves any number of readers and threads.
cab::Io platformCabinetIo();

// A platform file handle as the reader's handle and back (the same value, so a
// handle answered to a copy-file notification is the platform handle itself).
cab::FileHandle toCabinetHandle(plat::HANDLE handle);
plat::HANDLE toPlatformHandle(cab::FileHandle handle);

// A handle that takes every write and keeps nothing: a test pass decompresses
// each file into it, so testing a cabinet checks its data without writing.
constexpr cab::FileHandle kDiscardHandle = -2;
