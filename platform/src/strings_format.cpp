#include "platform/strings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace plat {
namespace {

struct FieldFormat {
    bool left = false, plus = false, space = false, zero = false, alt = false;
    int width = 0;
    int precision = -1;
};

// The number an argument stands for; texts count as 0 (a mismatched table
// text must not crash, it just shows a wrong number).
unsigned long long asUnsigned(const FormatArg &a, bool *negative)
{
    *negative = false;
    if (auto *s = std::get_if<long long>(&a.value())) {
        if (*s < 0) {
            *negative = true;
            return 0ULL - static_cast<unsigned long long>(*s);
        }
        return static_cast<unsigned long long>(*s);
    }
    if (auto *u = std::get_if<unsigned long long>(&a.value()))
        return *u;
    return 0;
}

long long asSigned(const FormatArg &a)
{
    if (auto *s = std::get_if<long long>(&a.value()))
        return *s;
    if (auto *u = std::get_if<unsigned long long>(&a.value()))
        return static_cast<long long>(*u);
    return 0;
}

std::string digits(unsigned long long v, unsigned base, bool upper)
{
    const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    do {
        out.push_back(set[v % base]);
        v /= base;
    } while (v);
    std::reverse(out.begin(), out.end());
    return out;
}

void pad(std::string &out, const FieldFormat &field, std::string_view prefix, std::string_view body,
         bool numeric)
{
    std::size_t len = prefix.size() + body.size();
    std::size_t fill = field.width > 0 && static_cast<std::size_t>(field.width) > len
                           ? static_cast<std::size_t>(field.width) - len
                           : 0;
    if (field.left) {
        out.append(prefix).append(body).append(fill, ' ');
    } else if (field.zero && numeric && field.precision < 0) {
        out.append(prefix).append(fill, '0').append(body);
    } else {
        out.append(fill, ' ').append(prefix).append(body);
    }
}

} // namespace

std::string formatArgs(std::string_view format, std::initializer_list<FormatArg> args)
{
    std::string out;
    const FormatArg *next = args.begin();
    auto take = [&]() -> const FormatArg * { return next != args.end() ? next++ : nullptr; };

    std::size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        if (c != '%') {
            out.push_back(c);
            ++i;
            continue;
        }
        const std::size_t start = i++;
        if (i < format.size() && format[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        FieldFormat field;
        for (; i < format.size(); ++i) {
            char f = format[i];
            if (f == '-')
                field.left = true;
            else if (f == '+')
                field.plus = true;
            else if (f == ' ')
                field.space = true;
            else if (f == '0')
                field.zero = true;
            else if (f == '#')
                field.alt = true;
            else
                break;
        }
        if (i < format.size() && format[i] == '*') {
            const FormatArg *a = take();
            long long w = a ? asSigned(*a) : 0;
            if (w < 0) {
                field.left = true;
                w = -w;
            }
            field.width = static_cast<int>(std::min<long long>(w, 4096));
            ++i;
        } else {
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                field.width = std::min(field.width * 10 + (format[i] - '0'), 4096);
                ++i;
            }
        }
        if (i < format.size() && format[i] == '.') {
            ++i;
            field.precision = 0;
            if (i < format.size() && format[i] == '*') {
                const FormatArg *a = take();
                long long p = a ? asSigned(*a) : 0;
                field.precision = p < 0 ? -1 : static_cast<int>(std::min<long long>(p, 4096));
                ++i;
            } else {
                while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                    field.precision = std::min(field.precision * 10 + (format[i] - '0'), 4096);
                    ++i;
                }
            }
        }
        // Length prefixes only matter for the width of C varargs; ours are typed.
        while (i < format.size() && (format[i] == 'h' || format[i] == 'l' || format[i] == 'L')) {
            ++i;
        }
        if (format.substr(i, 3) == "I64")
            i += 3;
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        const char conv = format[i++];
        switch (conv) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            const FormatArg *a = take();
            if (!a)
                break;
            bool negative = false;
            unsigned long long v;
            if (conv == 'd' || conv == 'i') {
                v = asUnsigned(*a, &negative);
            } else {
                // Unsigned conversions show a negative int as C does on a 32-bit int.
                v = 0;
                if (auto *u = std::get_if<unsigned long long>(&a->value()))
                    v = *u;
                else if (auto *s = std::get_if<long long>(&a->value()))
                    v = *s < 0 && *s >= INT32_MIN ? static_cast<std::uint32_t>(*s)
                                                  : static_cast<unsigned long long>(*s);
            }
            const unsigned base = conv == 'x' || conv == 'X' ? 16 : conv == 'o' ? 8 : 10;
            std::string body = field.precision == 0 && v == 0 ? "" : digits(v, base, conv == 'X');
            if (field.precision > 0 && body.size() < static_cast<std::size_t>(field.precision))
                body.insert(0, static_cast<std::size_t>(field.precision) - body.size(), '0');
            std::string prefix;
            if (negative)
                prefix = "-";
            else if ((conv == 'd' || conv == 'i') && field.plus)
                prefix = "+";
            else if ((conv == 'd' || conv == 'i') && field.space)
                prefix = " ";
            if (field.alt && v != 0 && base == 16)
                prefix += conv == 'X' ? "0X" : "0x";
            if (field.alt && base == 8 && (body.empty() || body[0] != '0'))
                body.insert(0, "0");
            pad(out, field, prefix, body, true);
            break;
        }
        case 'c': {
            const FormatArg *a = take();
            if (!a)
                break;
            char ch = static_cast<char>(asSigned(*a) & 0xFF);
            pad(out, field, {}, std::string_view(&ch, 1), false);
            break;
        }
        case 's': {
            const FormatArg *a = take();
            if (!a)
                break;
            std::string number;
            std::string_view text;
            if (auto *s = std::get_if<std::string_view>(&a->value())) {
                text = *s;
            } else {
                bool negative = false;
                unsigned long long v = asUnsigned(*a, &negative);
                number = (negative ? "-" : "") + digits(v, 10, false);
                text = number;
            }
            if (field.precision >= 0 && text.size() > static_cast<std::size_t>(field.precision))
                text = text.substr(0, static_cast<std::size_t>(field.precision));
            pad(out, field, {}, text, false);
            break;
        }
        default: out.append(format.substr(start, i - start)); break;
        }
    }
    return out;
}

int formatInto(char *buffer, int bufferSize, std::string_view format,
               std::initializer_list<FormatArg> args)
{
    if (!buffer || bufferSize < 1)
        return 0;
    const std::string text = formatArgs(format, args);
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(bufferSize - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

std::string formatPositional(std::string_view format, std::initializer_list<std::string_view> args)
{
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            const char n = format[i + 1];
            if (n == '%') {
                out.push_back('%');
                ++i;
                continue;
            }
            if (n >= '1' && n <= '9' && static_cast<std::size_t>(n - '1') < args.size()) {
                out.append(args.begin()[n - '1']);
                ++i;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}

} // namespace plat
