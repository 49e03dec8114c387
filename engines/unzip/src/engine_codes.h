#pragma once

// Results of dunzipS and the status codes it reports through the message
// callback (type 11). Numbers are stable: the message library maps the ones it
// knows to texts, and callers compare them.

namespace unzip {

enum EngineCode : int {
    kOk = 0,
    kBadCommand = 1, // wrong block size, unknown function, missing path or buffer
    kDamaged = 2,    // damaged directory, header or data; CRC or size mismatch
    kNotZip = 3,     // the file is no ZIP archive
    kOutOfMemory = 4,
    kArchiveMissing = 9,      // the archive file does not exist
    kNoSuchEntry = 10,        // entry record call past the last entry
    kNothingToDo = 11,        // no entry matched the mask or index
    kCreateFailed = 28,       // a file or folder could not be created
    kOpenFailed = 29,         // the archive exists but could not be opened or read
    kEncryptedNoCode = 41,    // status only: encrypted entry skipped, no code given
    kEncryptedWrongCode = 44, // status only: encrypted entry skipped, the code is wrong
    kEncryptedSkipped = 49,   // result: finished, but encrypted entries were skipped
    kDiskFull = 50,
    kCancelled = 80,             // a callback asked to stop, or the replace question was cancelled
    kDiskNotInserted = 81,       // a disk of a spanned set was asked for and not given
    kUnsupportedMethod = 82,     // the entry's compression method has no decoder here
    kUnsupportedEncryption = 83, // strong or AES encryption
};

} // namespace unzip
