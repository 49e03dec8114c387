#pragma once

// Results of dzipS. Where a value has a status text in the message library's
// compression table, the engine reports that same number through the message
// callback (type 11) before it returns it, so the caller shows one message.

namespace zipengine {

enum Result : int {
    kOk = 0,
    kBadCommand = 1,   // the command block is malformed (size, function, path, date filter)
    kDamaged = 2,      // the existing archive is damaged
    kBadStructure = 3, // the existing archive is no ZIP archive or uses unsupported structure
    kOutOfMemory = 4,
    kCancelled = 9,       // a callback asked to stop (nothing reported)
    kTempFileError = 10,  // the temporary archive could not be written or read back
    kReadError = 11,      // a source file could not be read
    kNothingToDo = 12,    // the file list matched nothing
    kArchiveMissing = 13, // freshen or delete of a missing or empty archive
    kDiskFull = 14,
    kCreateFailed = 15, // the archive (or its temporary file) could not be created
    kLeftInTemp = 16,   // complete, but left as a temporary file (reported as message 12)
    kNotRemovable = 17, // multi-volume requested on a drive that is not removable (message 5)
    kOpenFailed = 18,   // a source file could not be opened
    kDiskError = 19,    // a disk of a multi-volume set could not be prepared or used
};

} // namespace zipengine
