// Numbers with thousands separators.

#include "brxutil.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

thread_local char t_commaBuffer[260];

std::string groupDigits(const std::string &digits)
{
    std::string out;
    size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

const char *store(const std::string &text)
{
    std::snprintf(t_commaBuffer, sizeof t_commaBuffer, "%s", text.c_str());
    return t_commaBuffer;
}

} // namespace

const char *FormatComma(const unsigned long *value)
{
    return store(groupDigits(std::to_string(*value)));
}

const char *FormatComma(double value, int decimals)
{
    if (decimals < 0)
        decimals = 0;
    char raw[400];
    std::snprintf(raw, sizeof raw, "%.*f", decimals > 100 ? 100 : decimals, value);
    std::string text = raw;
    bool negative = !text.empty() && text[0] == '-';
    if (negative)
        text.erase(0, 1);
    std::string integerPart = text, fraction;
    if (size_t dot = text.find('.'); dot != std::string::npos) {
        integerPart = text.substr(0, dot);
        fraction = text.substr(dot + 1);
    }
    std::string result = negative ? "-" : "";
    if (decimals > 0) {
        result += integerPart.empty() ? "0" : groupDigits(integerPart);
        result += "." + fraction;
    } else {
        result += groupDigits(integerPart);
    }
    if (result.empty() || result == "-")
        return store("0");
    return store(result);
}
