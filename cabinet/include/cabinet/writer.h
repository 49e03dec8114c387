#pragma once

// Cabinet writer: builds Microsoft cabinet files (or a numbered set of them)
// from source files, with no compression, MSZIP or LZX. Every file access,
// allocation and progress report goes through the caller's callbacks, so the
// caller decides where cabinets and temporary files live and can stop the run.
//
// Usage: create() with the parameters of the first cabinet, addFile() for each
// source, flushFolder() to start a new folder, flushCabinet() to finish the
// current cabinet (the last call before destroy()), destroy() to release the
// writer and its temporary files. All functions are noexcept; a failure sets
// the error record given to create() and returns false (or null).

#include <cstddef>
#include <cstdint>

namespace cab {

// Parameters of the cabinet being built. The writer keeps its own copy; the
// next-cabinet callback fills a copy for each following cabinet of a set.
struct CCAB {
    std::uint32_t cb;                // largest cabinet file in bytes
    std::uint32_t cbFolderThresh;    // compressed bytes after which a folder is closed
    std::uint32_t cbReserveCFHeader; // per-cabinet reserved bytes (at most 60000)
    std::uint32_t cbReserveCFFolder; // per-folder reserved bytes (at most 255)
    std::uint32_t cbReserveCFData;   // per-data-block reserved bytes (at most 255)
    int iCab;                        // number of this cabinet (counted up by the writer)
    int iDisk;                       // number of this disk (counted up by the writer)
    int fFailOnIncompressible;       // nonzero: a block that does not shrink is an error
    std::uint16_t setID;             // identifier shared by the cabinets of a set
    char szDisk[256];                // label of the disk holding this cabinet
    char szCab[256];                 // file name of this cabinet
    char szCabPath[256];             // folder of this cabinet, ending in a separator
};
static_assert(sizeof(CCAB) == 804, "CCAB keeps the layout callers allocate");

// Error codes of Error::code.
enum ErrorCode : int {
    kErrNone = 0,
    kErrOpenSource = 1,
    kErrReadSource = 2,
    kErrAllocFail = 3,
    kErrTempFile = 4,
    kErrBadCompressionType = 5,
    kErrCabFile = 6,
    kErrUserAbort = 7,
    kErrMciFail = 8,
};

// Reason for the last failure.
struct Error {
    int code;     // ErrorCode
    int crtErrno; // C runtime error number reported by a callback, 0 when none
    bool present; // true once a failure has been recorded
};

// Text for an error code ("Unknown error" for codes outside the table).
const char *writerErrorText(int code) noexcept;

// Compression codes for addFile(): 0 none, 1 MSZIP, LZX with a window of
// 2^15..2^21 bytes as compressionLzx(window).
constexpr int kCompressionNone = 0x0000;
constexpr int kCompressionMszip = 0x0001;
constexpr int compressionLzx(int windowBits)
{
    return (windowBits << 8) | 3;
}

// Open flags and permissions handed to the open callback (C runtime values).
constexpr int kOpenReadOnly = 0x0000;
constexpr int kOpenWriteOnly = 0x0001;
constexpr int kOpenReadWrite = 0x0002;
constexpr int kOpenCreate = 0x0100;
constexpr int kOpenTruncate = 0x0200;
constexpr int kOpenExclusive = 0x0400;
constexpr int kOpenBinary = 0x8000;
constexpr int kPermRead = 0x0100;
constexpr int kPermWrite = 0x0080;

// Seek origins for the seek callback.
constexpr int kSeekSet = 0;
constexpr int kSeekCur = 1;
constexpr int kSeekEnd = 2;

// Status callback kinds.
constexpr unsigned kStatusFile = 0;    // cb1 compressed, cb2 uncompressed bytes of a data block
constexpr unsigned kStatusFolder = 1;  // cb1 bytes copied so far, cb2 total bytes of the folder
constexpr unsigned kStatusCabinet = 2; // cb1 estimated, cb2 actual size of a finished cabinet

// Callbacks. A file handle is an intptr_t; -1 means failure. Functions that
// report C runtime errors store the error number in *err.
struct Callbacks {
    // A file was placed in the cabinet described by ccab (continuation: the
    // file started in an earlier cabinet). Nonzero return aborts.
    int (*filePlaced)(CCAB *ccab, const char *file, long cbFile, bool continuation, void *ctx);
    void *(*alloc)(std::uint32_t cb);
    void (*free)(void *memory);
    std::intptr_t (*open)(const char *file, int oflag, int pmode, int *err, void *ctx);
    // Return the byte count, or 0xFFFFFFFF on failure.
    std::uint32_t (*read)(std::intptr_t hf, void *memory, std::uint32_t cb, int *err, void *ctx);
    std::uint32_t (*write)(std::intptr_t hf, const void *memory, std::uint32_t cb, int *err,
                           void *ctx);
    int (*close)(std::intptr_t hf, int *err, void *ctx);                        // 0 on success
    long (*seek)(std::intptr_t hf, long dist, int origin, int *err, void *ctx); // -1 on failure
    int (*remove)(const char *file, int *err, void *ctx);                       // 0 on success
    // Fills a name for a new temporary file; false on failure.
    bool (*getTempFile)(char *name, int cbName, void *ctx);
    // Fills szCab/szDisk (and may change other fields) of the next cabinet;
    // iCab and iDisk are already counted up. false aborts.
    bool (*getNextCabinet)(CCAB *ccab, std::uint32_t cbPrevCab, void *ctx);
    // Opens a source file for reading and reports its DOS date, time and
    // attributes; -1 on failure.
    std::intptr_t (*getOpenInfo)(const char *name, std::uint16_t *date, std::uint16_t *time,
                                 std::uint16_t *attribs, int *err, void *ctx);
    // Progress (kStatus*); -1 aborts the run.
    long (*status)(unsigned typeStatus, std::uint32_t cb1, std::uint32_t cb2, void *ctx);
};

struct Writer; // opaque

// Starts a writer for the cabinet described by ccab. Returns null and fills
// *error on failure (bad parameters, no memory).
Writer *create(Error *error, const Callbacks &callbacks, const CCAB &ccab, void *ctx) noexcept;

// Adds one source file under storedName (at most 255 bytes) with the given
// compression code; execute marks it to be run after extraction.
bool addFile(Writer *writer, const char *sourcePath, const char *storedName, bool execute,
             int compression) noexcept;

// Closes the current folder; the next file starts a new one.
bool flushFolder(Writer *writer) noexcept;

// Finishes the current cabinet. With getNextCabinet the following cabinet's
// name is asked for now (the next file goes there); without it, this is the
// last cabinet of the set.
bool flushCabinet(Writer *writer, bool getNextCabinet) noexcept;

// Releases the writer and removes its temporary files. A cabinet not yet
// flushed is discarded. Returns false when a temporary file could not be removed.
bool destroy(Writer *writer) noexcept;

} // namespace cab
