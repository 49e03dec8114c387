#include "common.h"

#include "brxextrc.h"
#include "brxutil.h"
#include "paths.h"
#include "platform/path.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace brx {

void errorLine(const std::string &text)
{
    std::fprintf(stderr, "brx: %s\n", text.c_str());
    std::fflush(stderr);
}

std::optional<int> checkArgs(const CommandSyntax &syntax, const ParsedArgs &args)
{
    if (args.help) {
        std::fputs(helpText(syntax).c_str(), stdout);
        return kExitOk;
    }
    if (!args.error.empty())
        return usageError(syntax, args.error);
    return std::nullopt;
}

int usageError(const CommandSyntax &syntax, const std::string &text)
{
    errorLine(syntax.name + ": " + text + " (see brx " + syntax.name + " --help)");
    return kExitUsage;
}

std::optional<std::string> windowsPathArg(const std::string &text)
{
    std::string why;
    auto path = toWindowsPath(text, &why);
    if (!path)
        errorLine(why);
    return path;
}

std::optional<ArchiveArg> existingArchive(const std::string &text, int *exitCode)
{
    const auto path = windowsPathArg(text);
    if (!path) {
        *exitCode = kExitNoArchive;
        return std::nullopt;
    }
    const unsigned exists = DoesFileExist(path->c_str());
    if (exists != 1) {
        errorLine(exists ? text + " is a folder, not an archive" : text + " does not exist");
        *exitCode = exists ? kExitNotArchive : kExitNoArchive;
        return std::nullopt;
    }
    ArchiveArg archive{*path, DetermineFileType(path->c_str())};
    if (archive.kind != ARCHIVE_ZIP && archive.kind != ARCHIVE_CABINET) {
        errorLine(text + " is not an archive (.zip, .cab or a self-extracting .exe)");
        *exitCode = kExitNotArchive;
        return std::nullopt;
    }
    return archive;
}

OptionSyntax passwordOption(const std::string &help)
{
    return {"password", 'p', "CODE", help};
}

OptionSyntax diskOption()
{
    return {"disk", 0, "ready|cancel", "answer to requests for another disk"};
}

bool promptOptionsFrom(const ParsedArgs &args, PromptOptions *out)
{
    out->interactive = isatty(STDIN_FILENO) != 0;
    if (args.has("password"))
        out->password = args.value("password");
    if (args.has("disk")) {
        const std::string disk = args.value("disk");
        if (disk == "ready")
            out->disk = DiskAnswer::Ready;
        else if (disk == "cancel")
            out->disk = DiskAnswer::Cancel;
        else {
            errorLine("--disk takes ready or cancel, not " + disk);
            return false;
        }
    }
    return true;
}

TempFolder::TempFolder()
{
    std::string pattern = plat::hostTempFolder() + "/brx-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return;
    const auto windows = plat::hostToWindowsPath(pattern);
    if (!windows) {
        std::error_code ec;
        std::filesystem::remove_all(pattern, ec);
        return;
    }
    host = pattern;
    this->windows = *windows;
}

TempFolder::~TempFolder()
{
    if (host.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(host, ec);
}

char *heapText(const std::string &text)
{
    char *copy = static_cast<char *>(std::calloc(text.size() + 1, 1));
    if (copy)
        std::memcpy(copy, text.data(), text.size());
    return copy;
}

} // namespace brx
