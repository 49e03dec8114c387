#include "platform/com.h"

#include <cstring>

namespace plat {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at `pos`; false on anything that is not one.
bool readHex(std::string_view text, std::size_t pos, int digits, std::uint64_t *value)
{
    std::uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = hexValue(text[pos + static_cast<std::size_t>(i)]);
        if (d < 0)
            return false;
        v = v << 4 | static_cast<std::uint64_t>(d);
    }
    *value = v;
    return true;
}

} // namespace

bool guidFromString(std::string_view text, GUID *out)
{
    // {01234567-0123-0123-0123-0123456789AB}
    if (!out || text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-')
        return false;
    GUID g;
    std::uint64_t v = 0;
    if (!readHex(text, 1, 8, &v))
        return false;
    g.data1 = static_cast<std::uint32_t>(v);
    if (!readHex(text, 10, 4, &v))
        return false;
    g.data2 = static_cast<std::uint16_t>(v);
    if (!readHex(text, 15, 4, &v))
        return false;
    g.data3 = static_cast<std::uint16_t>(v);
    static constexpr std::size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, bytePos[i], 2, &v))
            return false;
        g.data4[i] = static_cast<std::uint8_t>(v);
    }
    *out = g;
    return true;
}

std::string guidToString(const GUID &guid)
{
    char buffer[39];
    stringFromGuid(guid, buffer, sizeof buffer);
    return buffer;
}

int stringFromGuid(const GUID &guid, char *buffer, int bufferSize)
{
    if (!buffer || bufferSize < 39)
        return 0;
    static const char hex[] = "0123456789ABCDEF";
    char *p = buffer;
    auto put = [&p](std::uint64_t v, int digits) {
        for (int i = digits - 1; i >= 0; --i)
            *p++ = hex[(v >> (4 * i)) & 0xF];
    };
    *p++ = '{';
    put(guid.data1, 8);
    *p++ = '-';
    put(guid.data2, 4);
    *p++ = '-';
    put(guid.data3, 4);
    *p++ = '-';
    put(guid.data4[0], 2);
    put(guid.data4[1], 2);
    *p++ = '-';
    for (int i = 2; i < 8; ++i)
        put(guid.data4[i], 2);
    *p++ = '}';
    *p = '\0';
    return 39;
}

} // namespace plat
