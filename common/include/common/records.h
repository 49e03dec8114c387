#pragma once

// Records that cross the deliverables: the archive entry, the extract, add and
// cabinet requests, the rename mask, the progress-window request and the two
// engine command blocks. They are plain data with no behaviour; every
// deliverable shares this one definition.
//
// ZIPINFOEX keeps its exact byte layout (the catalogue arrays are contiguous
// 2150-byte records). The other records keep their fields, order and values;
// pointers are native width here, so their byte offsets differ from a 32-bit
// build and nothing may depend on them.

#include <cstddef>
#include <cstdint>

#include "common/handles.h"
#include "platform/messages.h"

// ---------------------------------------------------------------------------
// One archive entry.

enum : std::uint32_t {
    ENTRY_READONLY = 0x01,
    ENTRY_HIDDEN = 0x02,
    ENTRY_SYSTEM = 0x04,
    ENTRY_FOLDER = 0x10, // a folder entry; the list view leaves these out
    ENTRY_ARCHIVE = 0x20,
    ENTRY_ENCRYPTED = 0x8000,  // the entry needs a decryption code
    ENTRY_LONG_NAME = 0x10000, // the stored name is a long file name
};

constexpr int kEntryDateTimeSize = 32;
constexpr int kEntryPathSize = 2080;

#pragma pack(push, 1)
struct ZIPINFOEX {
    std::uint32_t reserved0; // written by the unzip engine, never read
    std::int32_t entryIndex; // 0-based position in the archive
    std::uint64_t uncompressedSize;
    std::uint64_t compressedSize;
    std::uint32_t attributes; // DOS bits plus ENTRY_ENCRYPTED / ENTRY_LONG_NAME
    std::uint32_t crc32;
    std::uint16_t method; // ZIP method number
    std::uint16_t reserved34;
    std::uint16_t hasFolder;           // nonzero when path has a folder part
    char dateTime[kEntryDateTimeSize]; // "%02u/%02u/%04u %02u:%02u" month/day/year hour:minute
    char path[kEntryPathSize];         // stored name with '\' separators
};
#pragma pack(pop)

static_assert(sizeof(ZIPINFOEX) == 2150);
static_assert(offsetof(ZIPINFOEX, entryIndex) == 4);
static_assert(offsetof(ZIPINFOEX, uncompressedSize) == 8);
static_assert(offsetof(ZIPINFOEX, compressedSize) == 16);
static_assert(offsetof(ZIPINFOEX, attributes) == 24);
static_assert(offsetof(ZIPINFOEX, crc32) == 28);
static_assert(offsetof(ZIPINFOEX, method) == 32);
static_assert(offsetof(ZIPINFOEX, hasFolder) == 36);
static_assert(offsetof(ZIPINFOEX, dateTime) == 38);
static_assert(offsetof(ZIPINFOEX, path) == 70);

// ---------------------------------------------------------------------------
// Unique-name mask prepared by PrepareMUFNMask.

struct _RENAMEINFO {
    char maskWithExt[260]; // format for (folder, base name, copy number, extension)
    char maskNoExt[260];   // format for (folder, base name, copy number)
};

// ---------------------------------------------------------------------------
// Progress-window request.

struct _PROGRESS_INIT {
    std::int32_t show;      // nonzero: show at once and bring to the foreground
    std::int32_t operation; // 1 compress, 2 extract, 3 test
    HWND parent;            // disabled while the progress window exists
};

// ---------------------------------------------------------------------------
// Unzip engine command block and its callbacks.

// progress(ignored, file percent 0..100, context) -> nonzero cancels
using UnzipProgressCallback = int (*)(int ignored, int percent, void *context);
// status(text, ignored, context) -> nonzero cancels
using UnzipStatusCallback = int (*)(const char *text, int ignored, void *context);
// message(type, message-box style, number 1, number 2, text, ignored, context) -> answer
using EngineMessageCallback = int (*)(int type, unsigned style, int number1, int number2,
                                      const char *text, int ignored, void *context);
// rename(path buffer of 260, rename record) -> 0; replaces the path by a free name
using UnzipRenameCallback = int (*)(char *path, _RENAMEINFO *record);

enum : std::int32_t {
    UNZIP_COUNT = 1,
    UNZIP_ENTRY = 2,
    UNZIP_COMMENT_LENGTH = 5,
    UNZIP_COMMENT = 6,
    UNZIP_EXTRACT = 8,
};

// Bits of UnzipCommand::nameFlags.
enum : std::uint8_t {
    UNZIP_BIT_EXTRACT1 = 0x01, // set on every extract or test
    UNZIP_BIT_EXTRACT2 = 0x02, // set on every extract or test
    UNZIP_SKIP_LONG_NAMES = 0x10,
    UNZIP_SHORT_NAMES = 0x20,
};

constexpr std::uint32_t kUnzipCommandSize = 202;

struct UnzipCommand {
    std::uint32_t size;    // 202
    std::int32_t function; // UNZIP_*
    const char *archivePath;
    std::int32_t reserved12;
    const char *nameMask;    // "*.*" for a whole archive
    std::int32_t entryIndex; // a single entry, else -1
    const char *destination;
    std::int32_t freshen;
    std::int32_t update;
    std::int32_t overwrite;   // replace existing files
    std::int32_t neverPrompt; // with overwrite clear: skip existing files
    std::int32_t testOnly;
    std::int32_t dropFolders;
    std::int32_t reserved52; // 1 on every use
    std::int32_t reserved56; // 1 on every use
    UnzipProgressCallback progressCallback;
    void *progressContext;
    UnzipStatusCallback statusCallback;
    void *statusContext;
    std::int32_t count;  // out: entry count (1) or comment length (5)
    char *commentBuffer; // comment text (6)
    std::int32_t reserved84;
    std::int32_t reserved88;
    std::int32_t useDecryptCode;
    const char *decryptCode;
    EngineMessageCallback messageCallback;
    void *messageContext;
    std::uint8_t nameFlags; // UNZIP_BIT_* / UNZIP_SKIP_LONG_NAMES / UNZIP_SHORT_NAMES
    std::uint8_t reserved109[9];
    UnzipRenameCallback renameCallback;
    _RENAMEINFO *renameRecord;
    std::uint8_t reserved126[20];
    ZIPINFOEX *entryOut; // out record (2)
    std::uint8_t reserved150[52];
};

// Zeroes the block and sets the values every use starts from.
inline void initUnzipCommand(UnzipCommand &cmd)
{
    cmd = UnzipCommand{};
    cmd.size = kUnzipCommandSize;
    cmd.function = 9;
    cmd.entryIndex = -1;
    cmd.dropFolders = 1;
    cmd.reserved52 = 1;
    cmd.reserved56 = 1;
}

// ---------------------------------------------------------------------------
// Zip engine command block and its callbacks.

// status(line, ignored, context) -> nonzero stops
using ZipStatusCallback = int (*)(const char *line, int ignored, void *context);
// per-file(name, percent of this file, context) -> nonzero stops
using ZipFileCallback = int (*)(const char *name, int percent, void *context);

enum : std::int32_t {
    ZIP_FRESHEN = 1,
    ZIP_DELETE = 2,
    ZIP_UPDATE = 3,
    ZIP_ADD = 4,
    ZIP_ADD_MEMORY = 5,
};

enum : std::uint16_t {
    ZIP_SPAN = 0x8000,
    ZIP_SPAN_DELETE = 0x8700,
    ZIP_SPAN_FORMAT = 0x8001,
};

enum : std::uint16_t {
    ZIP_OPT_RELATIVE_FOLDERS = 0x0001,
    ZIP_OPT_ASYNC_ADD = 0x0002,
    ZIP_OPT_SKIP_LOCKED = 0x0040,
};

constexpr std::uint32_t kZipCommandSize = 252;

struct ZipCommand {
    std::uint32_t size;    // 252
    std::int32_t function; // ZIP_*
    const char *archivePath;
    const char *fileList; // quoted, blank-separated; wildcards allowed
    ZipStatusCallback statusCallback;
    void *statusContext;
    ZipFileCallback fileCallback;
    void *fileContext;
    std::int32_t reserved32;
    std::int32_t recurse;
    std::int32_t factor;     // 0..9
    std::int32_t reserved44; // 1 for every add and delete
    std::int32_t useTempFolder;
    const char *tempFolder;
    std::int32_t reserved56;
    std::int32_t reserved60;
    std::int32_t reserved64;
    std::int32_t moveFiles;
    std::int32_t growArchive;
    std::int32_t noFolderNames;
    std::int32_t reserved80;
    std::int32_t setComment;
    const char *comment;
    std::int32_t useDateFilter;
    const char *dateFilter;
    std::int32_t archiveTimeFromNewest;
    std::int32_t useInclude;
    const char *include;
    std::int32_t useExclude;
    const char *exclude;      // for delete: the entries to keep
    std::int32_t reserved120; // 1 for every add
    std::int32_t reserved124; // 1 for every add
    std::uint8_t reserved128[12];
    std::int32_t usePassword;
    const char *password;
    EngineMessageCallback messageCallback;
    void *messageContext;
    std::uint16_t multiVolume; // ZIP_SPAN*
    std::uint16_t options;     // ZIP_OPT_*
    std::uint8_t reserved160[20];
    const void *sourceData; // function 5
    std::uint32_t sourceSize;
    std::int32_t reserved188; // 1 for every add
    std::uint8_t reserved192[60];
};

// Zeroes the block and sets the values every use starts from.
inline void initZipCommand(ZipCommand &cmd)
{
    cmd = ZipCommand{};
    cmd.size = kZipCommandSize;
    cmd.function = 6;
    cmd.factor = 5;
}

// ---------------------------------------------------------------------------
// Extract request.

enum : std::uint32_t {
    EXF_EXTRACT = 0x00001,
    EXF_OPEN = 0x00002,
    EXF_VIEW = 0x00004,
    EXF_TEST = 0x00008,
    EXF_INSTALL = 0x00010,
    EXF_SYNC = 0x00020,
    EXF_ALL = 0x01000,
    EXF_CAB_SET = 0x02000,
    EXF_RECOMPRESS = 0x04000,
    EXF_CONVERT = 0x08000,
    EXF_CABINET = 0x10000,
    // Any of these means fixed settings: no Decompression settings are read.
    EXF_FIXED_SETTINGS = EXF_OPEN | EXF_VIEW | EXF_INSTALL | EXF_SYNC,
};

struct _EXTRACT {
    std::int32_t entryNumber; // 1-based entry being processed
    HWND progressWnd;
    std::uint32_t flags; // EXF_*
    std::int32_t entryCount;
    ZIPINFOEX *entries;
    char destFolder[260];
    char archivePath[260];
    HWND parentWnd;
    UITHREAD uiThread;
    std::int32_t entriesSupplied;
    UnzipCommand command;
    char decryptCode[70];
    std::int32_t encryptedSkipped;
    std::int32_t replaceAllState; // 0 ask, 1 yes to all, 2 no to all
    StringList *sourceList;
    StringList *destList;
    std::int32_t result;
    std::int32_t operation; // 2 extract, 3 test
    std::int32_t errorShown;
};

// ---------------------------------------------------------------------------
// Add request.

enum : std::uint32_t {
    ADF_RECOMPRESS = 0x04000,
    ADF_CONVERT = 0x08000,
    ADF_MEMORY = 0x20000,
    ADF_MAIL = 0x40000,
};

struct _ADD {
    std::int32_t entryNumber;
    char currentName[260];
    HWND progressWnd;
    std::int32_t counting;
    std::uint32_t flags; // ADF_*
    char archivePath[260];
    HWND parentWnd;
    UITHREAD uiThread;
    std::int32_t commandReady;
    ZipCommand command;
    char password[66];
    char comment[8196];
    char dateFilter[7];
    char excludeFilter[4096];
    char includeFilter[4096];
    char tempFolder[263];
    char *fileList;
    char *keepList;
    std::int32_t result;
    std::int32_t errorShown;
    HGLOBAL sourceMemory;
    std::uint32_t sourceLength;
};

// ---------------------------------------------------------------------------
// Cabinet request.

struct CAB {
    char cabinetPath[260];
    char *fileList;
    char folder[260];
    char baseName[260];
    char diskLabel[260];
    std::uint32_t failed;
    std::uint32_t maxCabinetSize;
    std::uint32_t reserveSize;
    std::uint32_t compressionType;  // 0 none, 1 MSZIP, 2 LZX
    std::uint32_t compressionLevel; // LZX window exponent 15..21
    std::int32_t nameStart;
    std::int32_t diskStart;
    std::uint32_t folderPerFile;
    std::int32_t singleCabinet;
    std::int32_t filesAdded;
    HWND progressWnd;
    std::uint32_t flags; // ADF_RECOMPRESS, ADF_CONVERT, ADF_MAIL
    HWND parentWnd;
    UITHREAD uiThread;
    std::uint32_t pathMode; // 0 name only, 1 relative to baseFolder, 2 full without drive
    std::uint32_t moveFiles;
    std::uint32_t recurse;
    char baseFolder[260];
    std::int32_t volumeMode; // -1 none, 0 keep, 1 delete files, 2 format
    std::uint32_t skipLocked;
};

// ---------------------------------------------------------------------------
// Archive type codes and operation results.

// lParam of WM_OPERATION_DONE (the message numbers are the platform's).
enum : int {
    OPERATION_ADD_OR_DELETE = 1,
    OPERATION_EXTRACT = 2,
    OPERATION_TEST = 3,
    OPERATION_CABINET = 4,
};

enum : int {
    ARCHIVE_NONE = 0,    // nothing loaded (documents only)
    ARCHIVE_UNKNOWN = 1, // not an archive, or unknown
    ARCHIVE_ZIP = 2,     // also a self-extracting ZIP program
    ARCHIVE_CABINET = 3,
};

enum : int {
    RESULT_SUCCESS = 0,
    RESULT_CANCELLED_BEFORE_ARCHIVE = 40,
    RESULT_ENCRYPTED_SKIPPED_AT_PROMPT = 41,
    RESULT_NOTHING_DONE = 48,
    RESULT_ENGINE_SKIPPED_ENCRYPTED = 49,
    RESULT_CABINET_PASS_FAILED = 1,
    RESULT_CATALOGUE_FAILED = 3,
    RESULT_ADD_CANCELLED = 9,
};
