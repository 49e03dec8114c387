// brx add, brx delete: Add and Delete of the compress library.

#include "brxcomp.h"
#include "brxextrc.h"
#include "brxutil.h"
#include "commands.h"
#include "common.h"
#include "common/settings.h"
#include "listing.h"
#include "operations.h"
#include "progress.h"
#include "run_settings.h"

#include "platform/file.h"

#include <QString>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace brx {

namespace {

const CommandSyntax &addSyntax()
{
    static const CommandSyntax s{
        "add",
        "[options] ARCHIVE SOURCE...",
        "Adds files to a ZIP archive (made when missing). A SOURCE is a file, a folder\n"
        "(its contents under the folder's own name) or a wildcard pattern such as\n"
        "'docs/*.txt' (quote it so the shell leaves it alone).",
        {
            {"level", 'l', "0-9", "compression factor (0 stores); default: the Factor setting"},
            {"recurse", 'r', "", "descend into subfolders of wildcard patterns"},
            {"no-recurse", 0, "", "do not descend (overrides the Recurse setting)"},
            {"paths", 0, "MODE",
             "stored names: none (file name only), relative (to the\n" + std::string(32, ' ') +
                 "pattern's folder) or full (without drive)"},
            passwordOption("encrypt the new entries with this password"),
            {"move", 'm', "", "delete the sources once they are in the archive"},
            {"update", 0, "", "add new files and replace older entries only"},
            {"freshen", 0, "", "replace older entries only, add nothing new"},
            {"include", 0, "LIST", "only files matching (blank or ; separated: *.txt .log name)"},
            {"exclude", 0, "LIST", "leave out files matching"},
            {"since", 0, "YYYY-MM-DD", "only files last written on or after this day"},
            {"comment", 0, "TEXT", "set the archive comment"},
            {"comment-file", 0, "FILE", "set the archive comment from a file"},
            {"grow", 0, "", "append to the archive in place instead of rewriting it"},
            {"skip-locked", 0, "", "skip files that cannot be opened"},
            {"volumes", 0, "MODE",
             "on a removable drive, span disks and keep, delete or\n" + std::string(32, ' ') +
                 "format each disk's files (keep|delete|format)"},
            diskOption(),
        },
        "Options not given take the values of the compression settings. On a removable\n"
        "drive with the MultiVolume setting on (the default), --volumes is needed unless\n"
        "the answer can be typed on the terminal.\n"
        "Exit status: 0 added; otherwise the zip engine's result (12 nothing matched,\n"
        "18 a source could not be opened, ...; see README.md).\n",
    };
    return s;
}

const CommandSyntax &deleteSyntax()
{
    static const CommandSyntax s{
        "delete",
        "[options] ARCHIVE ENTRY...",
        "Removes entries from a ZIP archive. ENTRY is a stored path (/ or \\, case\n"
        "ignored) and may hold * and ?; other entries are kept whatever their names.",
        {diskOption()},
        "Exit status: 0 removed; 12 no entry matched; otherwise the zip engine's result.\n",
    };
    return s;
}

struct AddRecordDeleter {
    void operator()(_ADD *add) const
    {
        if (!add)
            return;
        std::free(add->fileList);
        std::free(add->keepList);
        std::free(add);
    }
};
using AddRecord = std::unique_ptr<_ADD, AddRecordDeleter>;

AddRecord newRecord(const std::string &archive)
{
    AddRecord add(static_cast<_ADD *>(std::calloc(1, sizeof(_ADD))));
    if (add)
        std::snprintf(add->archivePath, sizeof add->archivePath, "%s", archive.c_str());
    return add;
}

// A ZIP archive to change: by extension a ZIP, never a self-extracting
// program. nullopt with a message otherwise.
std::optional<std::string> zipTarget(const std::string &text, int *exitCode)
{
    const auto path = windowsPathArg(text);
    *exitCode = kExitUsage;
    if (!path)
        return std::nullopt;
    if (DoesFileExist(path->c_str()) >= 2) {
        errorLine(text + " is a folder");
        return std::nullopt;
    }
    const char *ext = GetExtension(path->c_str());
    if (!ext || QString::fromUtf8(ext).compare(QStringLiteral(".zip"), Qt::CaseInsensitive) != 0) {
        errorLine(text + ": only .zip archives can be changed");
        return std::nullopt;
    }
    return path;
}

struct Day {
    int year = 0, month = 0, day = 0;
};

std::optional<Day> sinceDay(const std::string &text)
{
    Day d;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &d.year, &d.month, &d.day, &tail) != 3 ||
        d.year < 1980 || d.year > 2079 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31)
        return std::nullopt;
    return d;
}

std::string slashesToBackslashes(std::string text)
{
    for (char &c : text)
        if (c == '/')
            c = '\\';
    return text;
}

} // namespace

int addCommand(int argc, char **argv, int first)
{
    const CommandSyntax &syntax = addSyntax();
    const ParsedArgs args = parseArgs(syntax, argc, argv, first);
    if (auto done = checkArgs(syntax, args))
        return *done;
    if (args.positional.size() < 2)
        return usageError(syntax, "name the archive and at least one source");
    if (args.has("update") && args.has("freshen"))
        return usageError(syntax, "--update and --freshen exclude each other");
    if (args.has("recurse") && args.has("no-recurse"))
        return usageError(syntax, "--recurse and --no-recurse exclude each other");
    if (args.has("comment") && args.has("comment-file"))
        return usageError(syntax, "--comment and --comment-file exclude each other");

    if (args.has("include") && args.has("exclude"))
        return usageError(syntax, "--include and --exclude exclude each other");

    // Add prepares the engine command from the compression settings; the
    // options given here stand in for them for the length of the command.
    namespace cs = settings::compression;
    RunSettings run;
    if (args.has("level")) {
        const auto level = parseNumber(args.value("level"), 0, 9);
        if (!level)
            return usageError(syntax, "--level takes 0 to 9");
        run.set(cs::Factor, static_cast<int>(*level));
    }
    if (args.has("paths")) {
        const std::string mode = args.value("paths");
        const int path = mode == "none" ? 0 : mode == "relative" ? 1 : mode == "full" ? 2 : -1;
        if (path < 0)
            return usageError(syntax, "--paths takes none, relative or full");
        run.set(cs::Path, path);
    }
    if (args.has("recurse") || args.has("no-recurse"))
        run.set(cs::Recurse, args.has("recurse") ? 1 : 0);
    if (args.has("move"))
        run.set(cs::Move, 1);
    if (args.has("grow"))
        run.set(cs::Grow, 1);
    if (args.has("skip-locked"))
        run.set(cs::SkipLock, 1);
    if (args.has("update") || args.has("freshen"))
        run.set(cs::Method, args.has("update") ? 1 : 2);
    if (args.has("include")) {
        run.set(cs::FilterFile, 2);
        run.set(cs::FilterInclude, args.value("include"));
    }
    if (args.has("exclude")) {
        run.set(cs::FilterFile, 1);
        run.set(cs::FilterExclude, args.value("exclude"));
    }
    if (args.has("since")) {
        const auto day = sinceDay(args.value("since"));
        if (!day)
            return usageError(syntax, "--since takes a day as YYYY-MM-DD (1980 to 2079)");
        run.set(cs::FilterDate, 1);
        run.set(cs::FilterMonth, day->month);
        run.set(cs::FilterDay, day->day);
        run.set(cs::FilterYear, day->year);
    }
    std::string comment;
    if (args.has("comment"))
        comment = args.value("comment");
    if (args.has("comment-file")) {
        std::ifstream in(args.value("comment-file"), std::ios::binary);
        if (!in)
            return usageError(syntax, "cannot read " + args.value("comment-file"));
        std::ostringstream text;
        text << in.rdbuf();
        comment = text.str();
    }
    if (comment.size() >= sizeof(_ADD::comment))
        return usageError(syntax, "the comment is longer than 8195 bytes");
    PromptOptions prompts;
    if (!promptOptionsFrom(args, &prompts))
        return kExitUsage;
    if (args.has("volumes")) {
        const std::string mode = args.value("volumes");
        prompts.volumes = mode == "keep" ? 0 : mode == "delete" ? 1 : mode == "format" ? 2 : -1;
        if (prompts.volumes < 0)
            return usageError(syntax, "--volumes takes keep, delete or format");
    }
    if (prompts.password) {
        if (prompts.password->size() > 65)
            return usageError(syntax, "a password has at most 65 characters");
        // Add asks for the password (answered from --password) when the setting says so.
        run.set(cs::Password, 1);
    } else if (settings::read(cs::Password) && !prompts.interactive) {
        errorLine("the Password setting is on but no --password was given; "
                  "adding without a password");
    }
    setPromptOptions(prompts);

    int exitCode = 0;
    const auto archive = zipTarget(args.positional[0], &exitCode);
    if (!archive)
        return exitCode;
    std::string list;
    for (std::size_t i = 1; i < args.positional.size(); ++i) {
        const std::string &text = args.positional[i];
        const auto source = windowsPathArg(text);
        if (!source)
            return kExitUsage;
        if (source->find('"') != std::string::npos)
            return usageError(syntax, "a path with a double quote cannot be added: " + text);
        const bool wildcard = source->find_first_of("*?") != std::string::npos;
        if (!wildcard && DoesFileExist(source->c_str()) == 0) {
            errorLine(text + " does not exist");
            return 18;
        }
        list += (list.empty() ? "\"" : " \"") + *source + "\"";
    }

    AddRecord add = newRecord(*archive);
    if (!add)
        return 4;
    add->fileList = heapText(list);
    std::snprintf(add->comment, sizeof add->comment, "%s", comment.c_str());
    const std::string temp = settings::read(settings::folders::Temp);
    if (!temp.empty() && IsValidFileName(temp.c_str()))
        std::snprintf(add->tempFolder, sizeof add->tempFolder, "%s", temp.c_str());

    bool started = false;
    int result = 0;
    {
        StderrProgress progress(isatty(STDERR_FILENO) != 0);
        result = runAdd(*add, &started);
    }
    if (!started)
        errorLine("nothing was added (cancelled)");
    else if (result != 0)
        errorLine("adding failed (result " + std::to_string(result) + ")");
    return result;
}

int deleteCommand(int argc, char **argv, int first)
{
    const CommandSyntax &syntax = deleteSyntax();
    const ParsedArgs args = parseArgs(syntax, argc, argv, first);
    if (auto done = checkArgs(syntax, args))
        return *done;
    if (args.positional.size() < 2)
        return usageError(syntax, "name the archive and at least one entry");
    PromptOptions prompts;
    if (!promptOptionsFrom(args, &prompts))
        return kExitUsage;
    setPromptOptions(prompts);
    int exitCode = 0;
    const auto archive = existingArchive(args.positional[0], &exitCode);
    if (!archive)
        return exitCode;
    if (!zipTarget(args.positional[0], &exitCode))
        return exitCode;
    Catalogue catalogue;
    const int loaded = loadCatalogue(archive->windowsPath, archive->kind, &catalogue);
    if (loaded != 0) {
        errorLine("the file '" + args.positional[0] + "' is empty or could not be opened");
        return loaded > 0 && loaded < 256 ? loaded : kExitNotArchive;
    }
    // Entries to remove by exact stored name; every other entry is named in
    // the keep list, so the engine's own name matching cannot take more.
    std::string removeList, keepList;
    for (const ZIPINFOEX &entry : catalogue.entries) {
        bool chosen = false;
        for (std::size_t i = 1; i < args.positional.size() && !chosen; ++i)
            chosen = plat::matchesWildcard(slashesToBackslashes(args.positional[i]), entry.path);
        std::string &target = chosen ? removeList : keepList;
        target += (target.empty() ? "\"" : " \"") + std::string(entry.path) + "\"";
    }
    if (removeList.empty()) {
        errorLine("no entry matches the names given");
        return 12;
    }
    AddRecord add = newRecord(archive->windowsPath);
    if (!add)
        return 4;
    add->fileList = heapText(removeList);
    add->keepList = keepList.empty() ? nullptr : heapText(keepList);
    const int result = runDelete(*add);
    if (result != 0)
        errorLine("deleting failed (result " + std::to_string(result) + ")");
    return result;
}

} // namespace brx
