#include "unzip_error.h"

namespace unzip {

const char *errorText(Error error)
{
    switch (error) {
    case Error::Ok: return "no error";
    case Error::OpenFailed: return "cannot open the archive";
    case Error::ReadError: return "cannot read the archive";
    case Error::NotAnArchive: return "not a ZIP archive";
    case Error::Truncated: return "the archive is truncated";
    case Error::BadEndRecord: return "damaged end of central directory record";
    case Error::BadZip64Record: return "damaged ZIP64 end record";
    case Error::BadCentralDirectory: return "damaged central directory";
    case Error::DirectoryOnOtherDisk: return "the central directory starts on another disk";
    case Error::EntryOnOtherDisk: return "the entry is on another disk";
    case Error::BadEntryIndex: return "no such entry";
    case Error::BadLocalHeader: return "damaged local header";
    case Error::BadDataDescriptor: return "damaged data descriptor";
    case Error::UnsupportedMethod: return "unsupported compression method";
    case Error::UnsupportedEncryption: return "unsupported encryption";
    case Error::PasswordRequired: return "the entry is encrypted";
    case Error::WrongPassword: return "wrong password";
    case Error::DataError: return "invalid compressed data";
    case Error::CrcMismatch: return "CRC error";
    case Error::SizeMismatch: return "size error";
    case Error::Stopped: return "stopped";
    case Error::OutOfMemory: return "out of memory";
    }
    return "unknown error";
}

} // namespace unzip
