#pragma once

// File times and their conversions. A FILETIME counts 100-ns intervals since
// January 1, 1601 (UTC unless a "local" file time); a DOS date and time is the
// packed FAT form with 2-second resolution from 1980 to 2107.

#include "platform/types.h"

#include <cstdint>

namespace plat {

struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;     // 1..12
    WORD wDayOfWeek = 0; // 0 = Sunday
    WORD wDay = 0;       // 1..31
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};

inline std::uint64_t fileTimeToU64(const FILETIME &ft)
{
    return (std::uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

inline FILETIME fileTimeFromU64(std::uint64_t value)
{
    return FILETIME{DWORD(value & 0xFFFFFFFFu), DWORD(value >> 32)};
}

// 100-ns intervals between 1601-01-01 and the Unix epoch 1970-01-01.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

// FILETIME of a Unix time (seconds + nanoseconds since 1970, UTC); times before
// 1601 become 0.
FILETIME fileTimeFromUnix(std::int64_t seconds, long nanoseconds);

// Unix time (seconds, nanoseconds) of a FILETIME.
void fileTimeToUnix(const FILETIME &ft, std::int64_t *seconds, long *nanoseconds);

// -1, 0 or 1 as a is earlier than, equal to or later than b.
LONG compareFileTime(const FILETIME *a, const FILETIME *b);

// UTC file time → local file time using the host's time zone at that instant.
// FALSE with ERROR_INVALID_PARAMETER on null arguments.
BOOL fileTimeToLocalFileTime(const FILETIME *utc, FILETIME *local);

// Local file time → UTC file time (inverse of the above).
BOOL localFileTimeToFileTime(const FILETIME *local, FILETIME *utc);

// FILETIME → calendar fields (year 1601..30827); FALSE with
// ERROR_INVALID_PARAMETER when out of range.
BOOL fileTimeToSystemTime(const FILETIME *ft, SYSTEMTIME *st);

// Calendar fields → FILETIME (wDayOfWeek ignored); FALSE with
// ERROR_INVALID_PARAMETER for an invalid date or time.
BOOL systemTimeToFileTime(const SYSTEMTIME *st, FILETIME *ft);

// FILETIME → DOS date and time (seconds rounded down to even); FALSE with
// ERROR_INVALID_PARAMETER before 1980 or after 2107.
BOOL fileTimeToDosDateTime(const FILETIME *ft, WORD *dosDate, WORD *dosTime);

// DOS date and time → FILETIME; FALSE with ERROR_INVALID_PARAMETER for an
// invalid field (month 0, February 30, hour 24, ...).
BOOL dosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME *ft);

// DOS date and time → calendar fields, with the same validation.
BOOL dosDateTimeToSystemTime(WORD dosDate, WORD dosTime, SYSTEMTIME *st);

// Calendar fields → DOS date and time; FALSE with ERROR_INVALID_PARAMETER for an
// invalid date or a year outside 1980..2107.
BOOL systemTimeToDosDateTime(const SYSTEMTIME *st, WORD *dosDate, WORD *dosTime);

// The current time as a UTC file time.
void getSystemTimeAsFileTime(FILETIME *ft);

// The current time in UTC / in local time as calendar fields.
void getSystemTime(SYSTEMTIME *st);
void getLocalTime(SYSTEMTIME *st);

} // namespace plat
