#include "platform/filetime.h"

#include "platform/errors.h"

#include <ctime>
#include <sys/time.h>

namespace plat {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000ULL;
constexpr std::uint64_t kTicksPerDay = kTicksPerSecond * 86400ULL;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDays1601To1970 = 134774;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = unsigned(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t *y, unsigned *m, unsigned *d)
{
    z += 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = unsigned(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = std::int64_t(yoe) + era * 400 + (*m <= 2);
}

bool isLeap(unsigned y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(unsigned y, unsigned m)
{
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

bool validSystemTime(const SYSTEMTIME &st)
{
    return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 &&
           st.wDay >= 1 && st.wDay <= daysInMonth(st.wYear, st.wMonth) && st.wHour < 24 &&
           st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

BOOL invalid()
{
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

// Offset of local time from UTC in seconds at a UTC instant.
long localOffsetAt(std::int64_t unixSeconds)
{
    std::time_t t = std::time_t(unixSeconds);
    std::tm tm{};
    if (!::localtime_r(&t, &tm))
        return 0;
    return tm.tm_gmtoff;
}

} // namespace

FILETIME fileTimeFromUnix(std::int64_t seconds, long nanoseconds)
{
    __int128 ticks = __int128(seconds) * kTicksPerSecond + nanoseconds / 100 + kUnixEpochAsFileTime;
    if (ticks < 0)
        return FILETIME{};
    return fileTimeFromU64(std::uint64_t(ticks));
}

void fileTimeToUnix(const FILETIME &ft, std::int64_t *seconds, long *nanoseconds)
{
    __int128 rel = __int128(fileTimeToU64(ft)) - __int128(kUnixEpochAsFileTime);
    __int128 secs = rel / __int128(kTicksPerSecond);
    __int128 rem = rel % __int128(kTicksPerSecond);
    if (rem < 0) {
        rem += kTicksPerSecond;
        secs -= 1;
    }
    *seconds = std::int64_t(secs);
    *nanoseconds = long(rem * 100);
}

LONG compareFileTime(const FILETIME *a, const FILETIME *b)
{
    std::uint64_t x = fileTimeToU64(*a), y = fileTimeToU64(*b);
    return x < y ? -1 : x > y ? 1 : 0;
}

BOOL fileTimeToLocalFileTime(const FILETIME *utc, FILETIME *local)
{
    if (!utc || !local)
        return invalid();
    std::int64_t s;
    long ns;
    fileTimeToUnix(*utc, &s, &ns);
    __int128 v = __int128(fileTimeToU64(*utc)) + __int128(localOffsetAt(s)) * kTicksPerSecond;
    *local = fileTimeFromU64(v < 0 ? 0 : std::uint64_t(v));
    return TRUE;
}

BOOL localFileTimeToFileTime(const FILETIME *local, FILETIME *utc)
{
    if (!local || !utc)
        return invalid();
    std::int64_t s;
    long ns;
    fileTimeToUnix(*local, &s, &ns);
    // The offset that holds at the resulting instant (two steps settle DST edges).
    long offset = localOffsetAt(s);
    offset = localOffsetAt(s - offset);
    __int128 v = __int128(fileTimeToU64(*local)) - __int128(offset) * kTicksPerSecond;
    *utc = fileTimeFromU64(v < 0 ? 0 : std::uint64_t(v));
    return TRUE;
}

BOOL fileTimeToSystemTime(const FILETIME *ft, SYSTEMTIME *st)
{
    if (!ft || !st)
        return invalid();
    std::uint64_t v = fileTimeToU64(*ft);
    if (v >= 0x8000000000000000ULL)
        return invalid();
    std::uint64_t days = v / kTicksPerDay;
    std::uint64_t inDay = v % kTicksPerDay;
    std::int64_t y;
    unsigned m, d;
    civilFromDays(std::int64_t(days) - kDays1601To1970, &y, &m, &d);
    st->wYear = WORD(y);
    st->wMonth = WORD(m);
    st->wDay = WORD(d);
    st->wDayOfWeek = WORD((days + 1) % 7); // 1601-01-01 was a Monday
    st->wHour = WORD(inDay / (3600 * kTicksPerSecond));
    st->wMinute = WORD(inDay / (60 * kTicksPerSecond) % 60);
    st->wSecond = WORD(inDay / kTicksPerSecond % 60);
    st->wMilliseconds = WORD(inDay / 10000 % 1000);
    return TRUE;
}

BOOL systemTimeToFileTime(const SYSTEMTIME *st, FILETIME *ft)
{
    if (!st || !ft || !validSystemTime(*st))
        return invalid();
    std::int64_t days = daysFromCivil(st->wYear, st->wMonth, st->wDay) + kDays1601To1970;
    std::uint64_t v =
        std::uint64_t(days) * kTicksPerDay +
        (std::uint64_t(st->wHour) * 3600 + st->wMinute * 60u + st->wSecond) * kTicksPerSecond +
        std::uint64_t(st->wMilliseconds) * 10000;
    *ft = fileTimeFromU64(v);
    return TRUE;
}

BOOL systemTimeToDosDateTime(const SYSTEMTIME *st, WORD *dosDate, WORD *dosTime)
{
    if (!st || !dosDate || !dosTime || !validSystemTime(*st) || st->wYear < 1980 ||
        st->wYear > 2107)
        return invalid();
    *dosDate = WORD(((st->wYear - 1980) << 9) | (st->wMonth << 5) | st->wDay);
    *dosTime = WORD((st->wHour << 11) | (st->wMinute << 5) | (st->wSecond / 2));
    return TRUE;
}

BOOL dosDateTimeToSystemTime(WORD dosDate, WORD dosTime, SYSTEMTIME *st)
{
    if (!st)
        return invalid();
    SYSTEMTIME out;
    out.wYear = WORD(1980 + (dosDate >> 9));
    out.wMonth = WORD((dosDate >> 5) & 0x0F);
    out.wDay = WORD(dosDate & 0x1F);
    out.wHour = WORD(dosTime >> 11);
    out.wMinute = WORD((dosTime >> 5) & 0x3F);
    out.wSecond = WORD((dosTime & 0x1F) * 2);
    if (!validSystemTime(out))
        return invalid();
    FILETIME ft;
    systemTimeToFileTime(&out, &ft);
    fileTimeToSystemTime(&ft, &out); // fills the day of the week
    *st = out;
    return TRUE;
}

BOOL fileTimeToDosDateTime(const FILETIME *ft, WORD *dosDate, WORD *dosTime)
{
    SYSTEMTIME st;
    if (!ft || !fileTimeToSystemTime(ft, &st))
        return invalid();
    return systemTimeToDosDateTime(&st, dosDate, dosTime);
}

BOOL dosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME *ft)
{
    SYSTEMTIME st;
    if (!ft || !dosDateTimeToSystemTime(dosDate, dosTime, &st))
        return invalid();
    return systemTimeToFileTime(&st, ft);
}

void getSystemTimeAsFileTime(FILETIME *ft)
{
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    *ft = fileTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}

void getSystemTime(SYSTEMTIME *st)
{
    FILETIME ft;
    getSystemTimeAsFileTime(&ft);
    fileTimeToSystemTime(&ft, st);
}

void getLocalTime(SYSTEMTIME *st)
{
    FILETIME ft, local;
    getSystemTimeAsFileTime(&ft);
    fileTimeToLocalFileTime(&ft, &local);
    fileTimeToSystemTime(&local, st);
}

} // namespace plat
