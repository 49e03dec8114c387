#pragma once

// Writing a finished archive across removable disks: every disk holds a file
// of the archive's name; the first starts with the spanning signature; no
// header or directory record is split between disks; each disk is filled to
// its free space. The caller is asked for each disk through the message
// callback (type 0 for the first, type 1 for the next ones).

#include <cstdint>
#include <string>
#include <vector>

#include "reporter.h"
#include "zip_records.h"

namespace zipengine {

struct SpanRequest {
    std::string source;                 // the complete archive written first (Windows path)
    std::vector<CentralRecord> entries; // its directory, offsets into `source`
    std::uint64_t directoryOffset = 0;  // where its directory starts
    Bytes comment;
    std::string target;     // archive path on the removable drive
    std::uint16_t mode = 0; // multiVolume value
};

// Result code (zip_result.h).
int writeSpanned(Reporter &rep, const SpanRequest &request);

} // namespace zipengine
