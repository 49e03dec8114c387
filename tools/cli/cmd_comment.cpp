// brx comment: shows or sets the archive comment.

#include "brxcomp.h"
#include "brxextrc.h"
#include "commands.h"
#include "common.h"

#include "brxutil.h"
#include "platform/globalmem.h"

#include <QString>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace brx {

namespace {

const CommandSyntax &syntax()
{
    static const CommandSyntax s{
        "comment",
        "[options] ARCHIVE",
        "Shows the comment of a ZIP archive, or sets it.",
        {
            {"set", 0, "TEXT", "replace the comment by TEXT"},
            {"file", 'f', "FILE", "replace the comment by the contents of FILE (- for stdin)"},
            {"clear", 0, "", "remove the comment"},
            diskOption(),
        },
        "Exit status: 0 shown or set; 1 the comment could not be set.\n",
    };
    return s;
}

} // namespace

int commentCommand(int argc, char **argv, int first)
{
    const ParsedArgs args = parseArgs(syntax(), argc, argv, first);
    if (auto done = checkArgs(syntax(), args))
        return *done;
    if (args.positional.size() != 1)
        return usageError(syntax(), "name one archive");
    const int ways = args.has("set") + args.has("file") + args.has("clear");
    if (ways > 1)
        return usageError(syntax(), "--set, --file and --clear exclude each other");
    PromptOptions prompts;
    if (!promptOptionsFrom(args, &prompts))
        return kExitUsage;
    setPromptOptions(prompts);
    int exitCode = 0;
    const auto archive = existingArchive(args.positional[0], &exitCode);
    if (!archive)
        return exitCode;
    if (archive->kind != ARCHIVE_ZIP) {
        errorLine("only ZIP archives have comments");
        return kExitNotArchive;
    }

    if (ways == 0) {
        HGLOBAL block = GetZipComment(archive->windowsPath.c_str());
        if (!block)
            return kExitOk;
        if (const char *text = static_cast<const char *>(plat::globalLock(block))) {
            std::fputs(text, stdout);
            const std::size_t length = std::char_traits<char>::length(text);
            if (length && text[length - 1] != '\n')
                std::fputs("\n", stdout);
            plat::globalUnlock(block);
        }
        plat::globalFree(block);
        return kExitOk;
    }

    // A self-extracting program keeps its comment: only .zip files change.
    const char *ext = GetExtension(archive->windowsPath.c_str());
    if (!ext || QString::fromUtf8(ext).compare(QStringLiteral(".zip"), Qt::CaseInsensitive) != 0) {
        errorLine(args.positional[0] + ": only .zip archives can be changed");
        return kExitUsage;
    }
    std::string comment;
    if (args.has("set")) {
        comment = args.value("set");
    } else if (args.has("file")) {
        std::ostringstream text;
        if (args.value("file") == "-") {
            text << std::cin.rdbuf();
        } else {
            std::ifstream in(args.value("file"), std::ios::binary);
            if (!in)
                return usageError(syntax(), "cannot read " + args.value("file"));
            text << in.rdbuf();
        }
        comment = text.str();
    }
    if (comment.size() > 65535)
        return usageError(syntax(), "a ZIP comment holds at most 65,535 bytes");
    std::string path = archive->windowsPath;
    if (!SetComment(path.data(), comment.data())) {
        errorLine("Fail to set comment!");
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace brx
