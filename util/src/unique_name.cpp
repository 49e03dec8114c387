// Unique-name masks: "%f (%n)" style masks turned into formats for free names.

#include "brxutil.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

thread_local char t_uniqueBuffer[260];

// Fills a format made by PrepareMUFNMask. Only %s, %d and %% are understood and
// each takes the next argument as text, so a mask that reaches us unrewritten
// can never read arguments that are not there or write through %n.
std::string fillFormat(const char *format, const std::string *args, size_t argCount)
{
    std::string out;
    size_t next = 0;
    for (const char *p = format; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        char spec = p[1];
        if (spec == '%') {
            out += '%';
            ++p;
        } else if (spec == 's' || spec == 'd' || spec == 'u') {
            if (next < argCount)
                out += args[next++];
            ++p;
        } else {
            out += '%';
        }
    }
    return out;
}

} // namespace

void PrepareMUFNMask(const char *mask, _RENAMEINFO *record, int rewrite)
{
    std::string text;
    if (rewrite == 1) {
        for (const char *p = mask; *p; ++p) {
            if (*p != '%') {
                text += *p;
            } else if (p[1] == 'f') {
                text += "%s";
                ++p;
            } else if (p[1] == 'n') {
                text += "%d";
                ++p;
            } else if (p[1] == '\0') {
                text += "%%";
            } else {
                text += "%%";
                text += p[1];
                ++p;
            }
        }
    } else {
        text = mask;
    }
    std::snprintf(record->maskWithExt, sizeof record->maskWithExt, "%%s\\%s.%%s", text.c_str());
    std::snprintf(record->maskNoExt, sizeof record->maskNoExt, "%%s\\%s", text.c_str());
}

const char *MakeUniqueFileName(const char *path, const _RENAMEINFO *record)
{
    std::snprintf(t_uniqueBuffer, sizeof t_uniqueBuffer, "%s", path);
    const char *slash = std::strrchr(path, '\\');
    if (!slash)
        return t_uniqueBuffer;

    std::string folder(path, slash);
    std::string name(slash + 1);
    std::string base = name, extension;
    size_t dot = name.rfind('.');
    bool hasExtension = dot != std::string::npos;
    if (hasExtension) {
        base = name.substr(0, dot);
        extension = name.substr(dot + 1);
    }

    std::string candidate = path;
    // A mask without a copy number would name the same file forever; such a
    // search ends with the empty text rather than an existing name.
    constexpr int kMaxCopies = 100000;
    for (int copy = 2; DoesFileExist(candidate.c_str()) != 0; ++copy) {
        std::string previous = candidate;
        if (copy > kMaxCopies) {
            t_uniqueBuffer[0] = '\0';
            return t_uniqueBuffer;
        }
        const std::string args[4] = {folder, base, std::to_string(copy), extension};
        candidate = fillFormat(hasExtension ? record->maskWithExt : record->maskNoExt, args,
                               hasExtension ? 4 : 3);
        if (candidate == previous) {
            t_uniqueBuffer[0] = '\0';
            return t_uniqueBuffer;
        }
    }
    if (candidate.size() >= sizeof t_uniqueBuffer) {
        t_uniqueBuffer[0] = '\0';
        return t_uniqueBuffer;
    }
    std::snprintf(t_uniqueBuffer, sizeof t_uniqueBuffer, "%s", candidate.c_str());
    return t_uniqueBuffer;
}
