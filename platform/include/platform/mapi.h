#pragma once

// Simple mail interface of the platform: "MAPI32.DLL" exports "MAPISendMail",
// loaded by name on first use. On this platform the module hands the message
// to the desktop's mail program (xdg-email); it declines to load when the
// desktop has none, as a machine without a mail system does.

#include <cstdint>

namespace plat {

using MAPI_ULONG = std::uint32_t;
using LHANDLE = std::uintptr_t;

struct MapiRecipDesc {
    MAPI_ULONG reserved;
    MAPI_ULONG recipClass; // MAPI_ORIG 0, MAPI_TO 1, MAPI_CC 2, MAPI_BCC 3
    char *name;
    char *address; // "SMTP:user@host" or "user@host"
    MAPI_ULONG entryIdSize;
    void *entryId;
};

struct MapiFileDesc {
    MAPI_ULONG reserved;
    MAPI_ULONG flags;
    MAPI_ULONG position; // all bits set: not placed in the text
    char *pathName;      // Windows path of the file to attach
    char *fileName;      // name shown to the recipient; null = from pathName
    void *fileType;
};

struct MapiMessage {
    MAPI_ULONG reserved;
    char *subject;
    char *noteText;
    char *messageType;
    char *dateReceived;
    char *conversationId;
    MAPI_ULONG flags;
    MapiRecipDesc *originator;
    MAPI_ULONG recipCount;
    MapiRecipDesc *recips;
    MAPI_ULONG fileCount;
    MapiFileDesc *files;
};

enum : MAPI_ULONG {
    MAPI_ORIG = 0,
    MAPI_TO = 1,
    MAPI_CC = 2,
    MAPI_BCC = 3,
};

// Flags of MAPISendMail.
enum : MAPI_ULONG {
    MAPI_LOGON_UI = 0x00000001,
    MAPI_DIALOG = 0x00000008,
};

// Results.
enum : MAPI_ULONG {
    SUCCESS_SUCCESS = 0,
    MAPI_USER_ABORT = 1,
    MAPI_E_FAILURE = 2,
    MAPI_E_LOGON_FAILURE = 3,
    MAPI_E_INSUFFICIENT_MEMORY = 5,
    MAPI_E_ATTACHMENT_NOT_FOUND = 11,
    MAPI_E_ATTACHMENT_OPEN_FAILURE = 12,
    MAPI_E_BAD_RECIPTYPE = 15,
    MAPI_E_INVALID_RECIPS = 25,
};

// MAPISendMail(session, owner window as integer, message, flags, reserved).
using MapiSendMailFn = MAPI_ULONG (*)(LHANDLE session, std::uintptr_t uiParam, MapiMessage *message,
                                      MAPI_ULONG flags, MAPI_ULONG reserved);

inline constexpr const char *kMailModuleName = "MAPI32.DLL";
inline constexpr const char *kSendMailExport = "MAPISendMail";

} // namespace plat
