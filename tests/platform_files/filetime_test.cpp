#include "files_fixture.h"
#include "platform/filetime.h"

#include <cstdlib>
#include <ctime>

using namespace plat;
using namespace filestest;

namespace {

WORD dosDate(int y, int m, int d)
{
    return WORD(((y - 1980) << 9) | (m << 5) | d);
}
WORD dosTime(int h, int m, int s)
{
    return WORD((h << 11) | (m << 5) | (s / 2));
}

SYSTEMTIME makeTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    SYSTEMTIME st;
    st.wYear = WORD(y);
    st.wMonth = WORD(mo);
    st.wDay = WORD(d);
    st.wHour = WORD(h);
    st.wMinute = WORD(mi);
    st.wSecond = WORD(s);
    st.wMilliseconds = WORD(ms);
    return st;
}

} // namespace

TEST(PlatFilesFileTimeConversion, KnownInstants)
{
    struct Case {
        SYSTEMTIME st;
        std::uint64_t ticks;
        WORD dayOfWeek;
    };
    const Case cases[] = {
        {makeTime(1601, 1, 1), 0, 1},
        {makeTime(1970, 1, 1), kUnixEpochAsFileTime, 4},
        {makeTime(2000, 2, 29, 12, 34, 56, 789), 125963012967890000ULL, 2},
        {makeTime(1980, 1, 1), 119600064000000000ULL, 2},
    };
    for (const Case &c : cases) {
        FILETIME ft;
        ASSERT_TRUE(systemTimeToFileTime(&c.st, &ft));
        EXPECT_EQ(fileTimeToU64(ft), c.ticks) << c.st.wYear;
        SYSTEMTIME back;
        ASSERT_TRUE(fileTimeToSystemTime(&ft, &back));
        EXPECT_EQ(back.wYear, c.st.wYear);
        EXPECT_EQ(back.wMonth, c.st.wMonth);
        EXPECT_EQ(back.wDay, c.st.wDay);
        EXPECT_EQ(back.wSecond, c.st.wSecond);
        EXPECT_EQ(back.wMilliseconds, c.st.wMilliseconds);
        EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek) << c.st.wYear;
    }
    const SYSTEMTIME invalid[] = {makeTime(2001, 2, 29), makeTime(2000, 13, 1),
                                  makeTime(1600, 12, 31), makeTime(2000, 1, 1, 24),
                                  makeTime(2000, 1, 0)};
    for (const SYSTEMTIME &st : invalid) {
        FILETIME ft;
        setLastError(kSentinel);
        EXPECT_FALSE(systemTimeToFileTime(&st, &ft));
        EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
}

TEST(PlatFilesFileTimeConversion, DosDateAndTime)
{
    struct Case {
        WORD date, time;
        bool valid;
        SYSTEMTIME st;
    };
    const Case cases[] = {
        {dosDate(1980, 1, 1), 0, true, makeTime(1980, 1, 1)},
        {dosDate(2107, 12, 31), dosTime(23, 59, 58), true, makeTime(2107, 12, 31, 23, 59, 58)},
        {dosDate(2024, 2, 29), dosTime(13, 5, 8), true, makeTime(2024, 2, 29, 13, 5, 8)},
        {WORD((44 << 9) | (0 << 5) | 1), 0, false, {}}, // month 0
        {WORD((44 << 9) | (1 << 5) | 0), 0, false, {}}, // day 0
        {dosDate(2023, 2, 29), 0, false, {}},
        {dosDate(2000, 1, 1), WORD(24 << 11), false, {}},
        {dosDate(2000, 1, 1), WORD(60 << 5), false, {}},
        {dosDate(2000, 1, 1), WORD(30), false, {}}, // 60 seconds
    };
    for (const Case &c : cases) {
        SYSTEMTIME st;
        FILETIME ft;
        setLastError(kSentinel);
        EXPECT_EQ(bool(dosDateTimeToSystemTime(c.date, c.time, &st)), c.valid) << c.date;
        EXPECT_EQ(bool(dosDateTimeToFileTime(c.date, c.time, &ft)), c.valid) << c.date;
        EXPECT_EQ(getLastError(), c.valid ? kSentinel : DWORD(ERROR_INVALID_PARAMETER));
        if (!c.valid)
            continue;
        EXPECT_EQ(st.wYear, c.st.wYear);
        EXPECT_EQ(st.wMonth, c.st.wMonth);
        EXPECT_EQ(st.wDay, c.st.wDay);
        EXPECT_EQ(st.wHour, c.st.wHour);
        EXPECT_EQ(st.wMinute, c.st.wMinute);
        EXPECT_EQ(st.wSecond, c.st.wSecond);
        WORD d = 0, t = 0;
        ASSERT_TRUE(fileTimeToDosDateTime(&ft, &d, &t));
        EXPECT_EQ(d, c.date);
        EXPECT_EQ(t, c.time);
    }

    // Two-second resolution: odd seconds and fractions round down.
    SYSTEMTIME odd = makeTime(1999, 12, 31, 23, 59, 59, 999);
    FILETIME ft;
    ASSERT_TRUE(systemTimeToFileTime(&odd, &ft));
    WORD d = 0, t = 0;
    ASSERT_TRUE(fileTimeToDosDateTime(&ft, &d, &t));
    EXPECT_EQ(d, dosDate(1999, 12, 31));
    EXPECT_EQ(t, dosTime(23, 59, 58));

    // Outside 1980..2107 there is no DOS form.
    for (SYSTEMTIME st : {makeTime(1979, 12, 31, 23, 59, 59), makeTime(2108, 1, 1)}) {
        ASSERT_TRUE(systemTimeToFileTime(&st, &ft));
        setLastError(kSentinel);
        EXPECT_FALSE(fileTimeToDosDateTime(&ft, &d, &t)) << st.wYear;
        EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
}

TEST(PlatFilesFileTimeConversion, LocalTimeFollowsTheHostZone)
{
    std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
    bool hadTz = std::getenv("TZ") != nullptr;
    setenv("TZ", "BRX-2", 1); // two hours east of UTC, no daylight saving
    tzset();
    SYSTEMTIME st = makeTime(2020, 6, 1, 22, 30);
    FILETIME utc, local, back;
    ASSERT_TRUE(systemTimeToFileTime(&st, &utc));
    ASSERT_TRUE(fileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(fileTimeToU64(local) - fileTimeToU64(utc), 2ULL * 3600 * 10000000);
    ASSERT_TRUE(localFileTimeToFileTime(&local, &back));
    EXPECT_EQ(fileTimeToU64(back), fileTimeToU64(utc));
    if (hadTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
