// Validity of file names and their repair.

#include "brxutil.h"

#include <cstring>

namespace {

bool isForbidden(char c) { return std::strchr("/*?\"<>|", c) != nullptr && c != '\0'; }

bool isReplaceable(char c) { return c != '\0' && std::strchr("\"*/:<>?|", c) != nullptr; }

} // namespace

int IsValidFileName(const char *path)
{
    size_t len = std::strlen(path);
    if (len <= 1 || path[0] == ':')
        return 0;
    bool unc = path[0] == '\\' && path[1] == '\\';
    if (unc ? len <= 4 : !(path[1] == ':' && len > 3))
        return 0;
    for (size_t i = 2; i < len; ++i) // a doubled backslash counts only after the start
        if (path[i] == '\\' && path[i - 1] == '\\')
            return 0;
    const char *lastColon = std::strrchr(path, ':');
    if (lastColon && lastColon != path + 1)
        return 0;
    for (size_t i = 0; i < len; ++i)
        if (isForbidden(path[i]))
            return 0;
    return 1;
}

// Separators stay unless they are doubled or follow a character that was
// replaced or removed; without isPath every backslash is invalid. The first
// three characters of a path (drive or share prefix) are kept as they are.
int MakeValidFileName(char *text, char replacement, int isPath)
{
    size_t len = std::strlen(text);
    size_t start = 0;
    if (isPath) {
        size_t minimum = text[0] == '\\' ? 4 : 5;
        if (len < minimum)
            return 0;
        start = 3;
    }
    size_t out = start;
    bool previousInvalid = false;
    char previous = start > 0 ? text[start - 1] : '\0';
    for (size_t in = start; in < len; ++in) {
        char c = text[in];
        bool invalid = isReplaceable(c);
        if (c == '\\')
            invalid = !isPath || previous == '\\' || previousInvalid;
        previous = c;
        previousInvalid = invalid;
        if (!invalid)
            text[out++] = c;
        else if (replacement)
            text[out++] = replacement;
    }
    text[out] = '\0';
    return 1;
}
