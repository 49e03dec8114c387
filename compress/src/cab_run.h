#pragma once

// Cabinet creation: the state of one DoCab run and the pieces that share it
// (gathering the sources, stored names, the disk procedure, the writer's
// callbacks, the overwrite warning).

#include "cabinet/writer.h"
#include "common/records.h"
#include "platform/messages.h"

#include <cstdint>
#include <string>
#include <vector>

// One DoCab call; every writer callback gets it as context.
struct CabRun {
    CAB *cab = nullptr;
    // Sources after expanding wildcards and folders, in the order they are added.
    std::vector<std::string> files;
    // Index into `files` of every source the writer took in.
    std::vector<std::size_t> stored;
    // The cabinet the writer is filling and its disk label, as reported by
    // the file-placed callback.
    std::string currentCabinet;
    std::string currentDisk;
    // Every cabinet file opened for writing, in order.
    std::vector<std::string> cabinets;
    bool overwriteAll = false;
    bool skipFile = false; // set by the open-info callback for a file skipped as locked
    bool cancelled = false;
    // Per-file percentage: bytes the writer should report for the files
    // announced so far, and bytes it has reported.
    std::uint64_t expected = 0;
    std::uint64_t done = 0;
    std::uint64_t compressedTotal = 0;
};

// Dialog "OverWrite" of the library, addressed through the modal-UI gateway
// by this number.
enum : unsigned {
    IDD_OVERWRITE = 176,
    IDC_OVERWRITE_NAME = 1003,
    IDC_YES_TO_ALL = 1001,
};

// Pumps the progress window's messages and reads its cancel flag; once set,
// the run stays cancelled.
bool cabCancelled(CabRun &run);

// Expands cab->fileList into run.files (wildcards and folders walked, with
// cab->recurse into subfolders). Stops early when the run is cancelled.
void gatherFiles(CabRun &run);

// Name under which `path` is stored for the given path mode and base folder.
std::string storedName(const std::string &path, unsigned pathMode, const char *baseFolder);

// Makes sure the disk in the cabinet's drive has room for a cabinet
// (removable media). first: the first disk of the run. false = cancelled.
bool diskProcedure(CabRun &run, bool first);

// The writer's callbacks, all with the run as context.
cab::Callbacks cabCallbacks();

// The overwrite warning for `path`: IDYES, IDC_YES_TO_ALL or IDCANCEL.
int askOverwrite(plat::HWND owner, const std::string &path);
