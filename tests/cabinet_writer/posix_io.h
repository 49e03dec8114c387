#pragma once

// POSIX-backed callbacks for the cabinet writer tests, with switches to make
// a given write fail or the status report ask for an abort.

#include "cabinet/writer.h"

#include <string>
#include <vector>

namespace cabtest {

struct Io {
    std::string tempDir;           // where temporary files are made
    std::string setPrefix = "set"; // next cabinets are <prefix><iCab>.cab
    bool diskLabels = true;        // next cabinets get "Disk<iDisk>", else no label
    int failWriteAt = -1;          // 1-based number of the write call that fails
    int failTempNameAt = -1;       // 1-based temp-name request that fails
    bool abortOnStatus = false;    // the first status report returns -1
    int writes = 0;
    int tempNames = 0;
    std::vector<std::string> placed; // "cab:file" for each file-placed report
    std::vector<int> nextICab;       // iCab seen by each next-cabinet request
    std::vector<int> nextIDisk;
    std::vector<std::string> cabinets; // szCab of each cabinet, first included
};

cab::Callbacks posixCallbacks();

// Parameters for a cabinet `name` in `dir` (with a trailing '/').
cab::CCAB makeCcab(const std::string &dir, const std::string &name, unsigned maxSize = 0x7FFFFFFF);

} // namespace cabtest
