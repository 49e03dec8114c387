#pragma once

// Cabinet reader: tests whether a file is a cabinet and walks the files of a
// cabinet (and of the following parts of its set) with a notification callback,
// in the manner of the classic decompression interface. Decoding is done by
// libmspack; every byte read or written goes through the caller's callbacks.

#include <cstddef>
#include <cstdint>

namespace cab {

// Error numbers of the reader; readerErrorText() gives their texts.
enum ReaderError : int {
    kErrNone = 0,
    kErrCabinetNotFound = 1,
    kErrNotACabinet = 2,
    kErrUnknownVersion = 3,
    kErrCorruptCabinet = 4,
    kErrOutOfMemory = 5,
    kErrBadCompressionType = 6,
    kErrDecompressFailed = 7,
    kErrTargetFile = 8,
    kErrReserveMismatch = 9,
    kErrWrongCabinet = 10,
    kErrUserAbort = 11,
};

// Text of an error number ("Unknown error" for numbers outside the list).
const char *readerErrorText(int code);

// Where a reader records why its last call failed.
struct ErrorRecord {
    int code = kErrNone; // ReaderError
    int detail = 0;      // libmspack's error number behind the failure, 0 when none
    bool present = false;
};

using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidHandle = -1;

// Seek origins of Io::seek.
constexpr int kSeekSet = 0;
constexpr int kSeekCur = 1;
constexpr int kSeekEnd = 2;

// Memory and file services supplied by the caller. `context` is handed to every
// call. The reader only opens files (cabinets) for reading; output files are
// opened by the copy-file notification and closed by the close-file
// notification, the reader only writes to them.
struct Io {
    void *context = nullptr;
    // Returns null when out of memory.
    void *(*alloc)(void *context, std::size_t size) = nullptr;
    void (*free)(void *context, void *block) = nullptr;
    // Opens an existing file read-only (binary); kInvalidHandle on failure.
    FileHandle (*open)(void *context, const char *path) = nullptr;
    // Bytes read (0 at end of file), or -1 on failure.
    std::int32_t (*read)(void *context, FileHandle file, void *buffer,
                         std::uint32_t size) = nullptr;
    // Bytes written, or -1 on failure; anything short of `size` counts as failure.
    std::int32_t (*write)(void *context, FileHandle file, const void *buffer,
                          std::uint32_t size) = nullptr;
    // 0 on success.
    int (*close)(void *context, FileHandle file) = nullptr;
    // New position from the start of the file, or -1 on failure.
    std::int64_t (*seek)(void *context, FileHandle file, std::int64_t offset, int origin) = nullptr;
};

// What isCabinet() reports about a cabinet.
struct CabinetInfo {
    std::uint32_t totalLength = 0; // cabinet size in bytes as stored in its header
    std::uint16_t setId = 0;
    std::uint16_t iCabinet = 0; // number of this cabinet in its set, from 0
    std::uint16_t folderCount = 0;
    std::uint16_t fileCount = 0;
    bool hasReserve = false;
    bool hasPrevious = false;
    bool hasNext = false;
};

enum class Notify {
    // A cabinet was opened. cabinetName/diskName: the next cabinet of the set
    // and its disk ("" when last); cabinetPath: folder of this cabinet; setId,
    // iCabinet. Answer 0, or -1 to abort.
    CabinetInfo,
    // A file of the first cabinet walked that starts in a previous cabinet.
    // fileName; cabinetName/diskName: the previous cabinet named by this
    // cabinet's header and its disk. The file is not extracted. Answer 0, or
    // -1 to abort.
    PartialFile,
    // A file to extract. fileName, size, date, time, attributes. Answer the
    // handle to write it to, 0 to skip it, -1 to abort.
    CopyFile,
    // A copied file is complete. handle (the one answered to CopyFile),
    // fileName, date, time, attributes. The callback closes the handle; answer
    // nonzero for success, 0 for failure (error kErrTargetFile).
    CloseFileInfo,
    // The file being extracted continues in the next cabinet. cabinetName/
    // diskName: that cabinet and its disk; pathBuffer: the folder to look in,
    // which the callback may rewrite (at most pathCapacity bytes with the
    // terminator); error: why the previous attempt failed, or kErrNone.
    // Answer -1 to abort (error kErrUserAbort), anything else to go on.
    NextCabinet,
    // A file entry has been dealt with. fileIndex: its index in its cabinet,
    // folderIndex: its folder. Answer 0, or -1 to abort.
    Enumerate,
};

struct Notification {
    void *user = nullptr; // the caller's context given to copy()
    const char *fileName = "";
    const char *cabinetName = "";
    const char *diskName = "";
    const char *cabinetPath = "";
    char *pathBuffer = nullptr; // NextCabinet only
    std::size_t pathCapacity = 0;
    std::uint32_t size = 0;
    FileHandle handle = 0;
    std::uint16_t date = 0; // DOS date
    std::uint16_t time = 0; // DOS time
    std::uint16_t attributes = 0;
    std::uint16_t setId = 0;
    std::uint16_t iCabinet = 0;
    std::uint16_t fileIndex = 0;
    std::uint16_t folderIndex = 0;
    int error = kErrNone;
};

using NotifyFn = FileHandle (*)(Notify type, Notification &n);

// Longest cabinet path (folder plus name) the reader handles, terminator included.
constexpr std::size_t kMaxCabinetPath = 256;

struct Reader;

// Creates a reader on the caller's services (all seven callbacks required).
// `error` (may be null) is the caller's record that every later failure of this
// reader is written to. Null on failure, with the reason in *error (a missing
// callback or a failing allocation: kErrOutOfMemory).
Reader *create(const Io &io, ErrorRecord *error);

// Tests whether the open file `file` holds a cabinet (reading its header from
// the start of the file) and fills *info. False with the error recorded when not.
bool isCabinet(Reader *reader, FileHandle file, CabinetInfo *info);

// Walks the cabinet `cabinetPath` + `cabinetName` with notifications, extracting
// every file the callback asks for and continuing into the next cabinets of the
// set when a file needs them. False with the error recorded on failure; an
// output handle still open at a failure is closed through Io::close.
bool copy(Reader *reader, const char *cabinetName, const char *cabinetPath, NotifyFn notify,
          void *user);

// Releases the reader; true on success.
bool destroy(Reader *reader);

// The reader's error record (last failure).
const ErrorRecord &lastError(const Reader *reader);

} // namespace cab
