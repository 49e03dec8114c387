#pragma once

// Result codes of the archive-reading core. Values are stable: the engine
// reports them through its message callback and the tests compare them.

namespace unzip {

enum class Error {
    Ok = 0,
    OpenFailed = 1,             // the archive file could not be opened
    ReadError = 2,              // reading the archive failed
    NotAnArchive = 3,           // no end of central directory record found
    Truncated = 4,              // a record or the data runs past the end of the file
    BadEndRecord = 5,           // the end record contradicts the file
    BadZip64Record = 6,         // the ZIP64 locator or end record is damaged
    BadCentralDirectory = 7,    // a central directory entry is damaged
    DirectoryOnOtherDisk = 8,   // spanned archive: the directory starts on an earlier disk
    EntryOnOtherDisk = 9,       // spanned archive: the entry's data lies on another disk
    BadEntryIndex = 10,         // no entry with that index
    BadLocalHeader = 11,        // the local header is missing or contradicts the directory
    BadDataDescriptor = 12,     // the data descriptor does not match the directory
    UnsupportedMethod = 13,     // compression method not supported
    UnsupportedEncryption = 14, // strong or AES encryption
    PasswordRequired = 15,      // entry is encrypted and no password was given
    WrongPassword = 16,         // the password does not decrypt the entry
    DataError = 17,             // the compressed data is invalid
    CrcMismatch = 18,           // the data does not match its CRC-32
    SizeMismatch = 19,          // the data is not as long as the directory says
    Stopped = 20,               // the receiver of the data asked to stop
    OutOfMemory = 21,
};

// Short English description, for diagnostics.
const char *errorText(Error error);

} // namespace unzip
