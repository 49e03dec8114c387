// brx cab, brx convert: cabinet creation (DoCab of the compress library) and
// conversion between ZIP archives and cabinets.

#include "brxcomp.h"
#include "brxextrc.h"
#include "brxutil.h"
#include "commands.h"
#include "common.h"
#include "common/settings.h"
#include "operations.h"
#include "progress.h"
#include "run_settings.h"

#include "platform/file.h"
#include "platform/path.h"

#include <QString>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace brx {

namespace {

namespace co = settings::caboptions;
namespace cc = settings::cabcompression;

constexpr int kExitTargetExists = 73;

OptionSyntax compressionOption()
{
    return {"compression", 'c', "TYPE", "none, mszip or lzx (default: the setting)"};
}
OptionSyntax windowOption()
{
    return {"window", 'w', "15-21", "LZX window exponent (default: the setting, else 21)"};
}
OptionSyntax maxSizeOption()
{
    return {"max-size", 0, "SIZE",
            "largest cabinet in bytes (k, m suffixes) for a numbered\n" + std::string(32, ' ') +
                "set, or unlimited for one cabinet"};
}
OptionSyntax folderPerFileOption()
{
    return {"folder-per-file", 0, "", "compress every file on its own"};
}

const CommandSyntax &cabSyntax()
{
    static const CommandSyntax s{
        "cab",
        "[options] CABINET SOURCE...",
        "Makes a cabinet (or a numbered set of cabinets) from files, folders and wildcard\n"
        "patterns.",
        {
            compressionOption(),
            windowOption(),
            maxSizeOption(),
            folderPerFileOption(),
            {"reserve", 0, "SIZE", "bytes reserved in each cabinet header (at most 60000)"},
            {"label", 0, "TEXT", "disk label (numbered in a set)"},
            {"recurse", 'r', "", "descend into subfolders of wildcard patterns"},
            {"no-recurse", 0, "", "do not descend (overrides the setting)"},
            {"paths", 0, "MODE",
             "stored names: none (file name only), relative (to --base)\n" + std::string(32, ' ') +
                 "or full (without drive)"},
            {"base", 'b', "FOLDER", "folder relative names start from (default: current)"},
            {"move", 'm', "", "delete the sources once they are stored"},
            {"skip-locked", 0, "", "skip files that cannot be opened"},
            {"replace", 0, "", "replace existing cabinet files without asking"},
            {"volumes", 0, "MODE",
             "on a removable drive, span disks and keep, delete or\n" + std::string(32, ' ') +
                 "format each disk's files (keep|delete|format)"},
            diskOption(),
        },
        "Options not given take the values of the cabinet settings.\n"
        "Exit status: 0 made; 1 failed; 9 cancelled before it started.\n",
    };
    return s;
}

const CommandSyntax &convertSyntax()
{
    static const CommandSyntax s{
        "convert",
        "[options] SOURCE TARGET",
        "Converts a ZIP archive into a cabinet (TARGET ends in .cab) or a cabinet into a\n"
        "ZIP archive (TARGET ends in .zip): every entry is extracted into a fresh\n"
        "temporary folder and stored in the new archive with its folders.",
        {
            passwordOption("decryption code of the source's encrypted entries"),
            {"level", 'l', "0-9", "compression factor of a ZIP target"},
            compressionOption(),
            windowOption(),
            maxSizeOption(),
            folderPerFileOption(),
            {"replace", 0, "", "replace an existing target"},
            diskOption(),
        },
        "Exit status: 0 converted; 73 the target exists (give --replace); otherwise the\n"
        "extraction's result, or the target's (zip engine result, 1 cabinet failed).\n",
    };
    return s;
}

// Cabinet options of the command line written for the run. False with a
// message on a bad value.
bool applyCabinetOptions(const CommandSyntax &syntax, const ParsedArgs &args, RunSettings &run)
{
    if (args.has("compression")) {
        const std::string type = args.value("compression");
        const int code = type == "none" ? 0 : type == "mszip" ? 1 : type == "lzx" ? 2 : -1;
        if (code < 0) {
            usageError(syntax, "--compression takes none, mszip or lzx");
            return false;
        }
        run.set(co::CompressionType, code);
    }
    if (args.has("window")) {
        const auto window = parseNumber(args.value("window"), 15, 21);
        if (!window) {
            usageError(syntax, "--window takes 15 to 21");
            return false;
        }
        run.set(co::CompressionLevel, static_cast<int>(*window));
    } else if (args.value("compression") == "lzx") {
        // LZX needs a window; a stored level outside 15..21 (the default 0)
        // would make the writer refuse the compression type.
        const int stored = settings::read(co::CompressionLevel);
        if (stored < 15 || stored > 21)
            run.set(co::CompressionLevel, 21);
    }
    if (args.has("max-size")) {
        const std::string text = args.value("max-size");
        if (text == "unlimited" || text == "0") {
            run.set(co::MaxDiskType, 0);
        } else {
            const auto size = parseSize(text);
            if (!size || *size < 50000 || *size > 0x7fffffffLL) {
                usageError(syntax, "--max-size takes unlimited or 50000 bytes to 2 GB");
                return false;
            }
            run.set(co::MaxDiskType, 7);
            run.set(co::MaxDiskUnit, 2);
            run.set(co::MaxDiskSize, std::to_string(*size));
        }
    }
    if (args.has("folder-per-file"))
        run.set(co::Folder, 1);
    if (args.has("reserve")) {
        const auto size = parseSize(args.value("reserve"));
        if (!size || *size > 60000) {
            usageError(syntax, "--reserve takes 0 to 60000 bytes");
            return false;
        }
        run.set(co::ReservedUnit, 2);
        run.set(co::ReservedSize, std::to_string(*size));
    }
    if (args.has("label"))
        run.set(co::Disk, args.value("label"));
    if (args.has("recurse") || args.has("no-recurse"))
        run.set(cc::Recurse, args.has("recurse") ? 1 : 0);
    if (args.has("paths")) {
        const std::string mode = args.value("paths");
        const int code = mode == "none" ? 0 : mode == "relative" ? 1 : mode == "full" ? 2 : -1;
        if (code < 0) {
            usageError(syntax, "--paths takes none, relative or full");
            return false;
        }
        run.set(cc::Path, code);
    }
    if (args.has("move"))
        run.set(cc::Move, 1);
    if (args.has("skip-locked"))
        run.set(cc::SkipLock, 1);
    return true;
}

struct CabRecordDeleter {
    void operator()(CAB *cab) const
    {
        if (!cab)
            return;
        std::free(cab->fileList);
        std::free(cab);
    }
};
using CabRecord = std::unique_ptr<CAB, CabRecordDeleter>;

bool hasExtension(const std::string &path, const char *ext)
{
    const char *own = GetExtension(path.c_str());
    return own && QString::fromUtf8(own).compare(QString::fromUtf8(ext), Qt::CaseInsensitive) == 0;
}

int makeCabinet(const std::string &cabinetPath, const std::string &list,
                const std::string &baseFolder, std::uint32_t flags)
{
    CabRecord cab(static_cast<CAB *>(std::calloc(1, sizeof(CAB))));
    if (!cab)
        return 4;
    std::snprintf(cab->cabinetPath, sizeof cab->cabinetPath, "%s", cabinetPath.c_str());
    std::snprintf(cab->baseFolder, sizeof cab->baseFolder, "%s", baseFolder.c_str());
    cab->fileList = heapText(list);
    cab->flags = flags;
    int result = 0;
    {
        StderrProgress progress(isatty(STDERR_FILENO) != 0);
        result = runCabinet(*cab);
    }
    if (result == RESULT_ADD_CANCELLED)
        errorLine("no cabinet was made (cancelled)");
    else if (result != 0)
        errorLine("the cabinet could not be made");
    return result;
}

} // namespace

int cabCommand(int argc, char **argv, int first)
{
    const CommandSyntax &syntax = cabSyntax();
    const ParsedArgs args = parseArgs(syntax, argc, argv, first);
    if (auto done = checkArgs(syntax, args))
        return *done;
    if (args.positional.size() < 2)
        return usageError(syntax, "name the cabinet and at least one source");
    if (args.has("recurse") && args.has("no-recurse"))
        return usageError(syntax, "--recurse and --no-recurse exclude each other");
    PromptOptions prompts;
    if (!promptOptionsFrom(args, &prompts))
        return kExitUsage;
    if (args.has("replace"))
        prompts.replace = ReplaceAnswer::All;
    if (args.has("volumes")) {
        const std::string mode = args.value("volumes");
        prompts.volumes = mode == "keep" ? 0 : mode == "delete" ? 1 : mode == "format" ? 2 : -1;
        if (prompts.volumes < 0)
            return usageError(syntax, "--volumes takes keep, delete or format");
    }
    setPromptOptions(prompts);

    const auto cabinet = windowsPathArg(args.positional[0]);
    if (!cabinet)
        return kExitUsage;
    if (!hasExtension(*cabinet, ".cab"))
        return usageError(syntax, "the cabinet's name must end in .cab");
    if (DoesFileExist(cabinet->c_str()) >= 2)
        return usageError(syntax, args.positional[0] + " is a folder");
    std::string list;
    for (std::size_t i = 1; i < args.positional.size(); ++i) {
        const auto source = windowsPathArg(args.positional[i]);
        if (!source)
            return kExitUsage;
        if (source->find('"') != std::string::npos)
            return usageError(syntax, "a path with a double quote cannot be stored");
        if (source->find_first_of("*?") == std::string::npos && !DoesFileExist(source->c_str())) {
            errorLine(args.positional[i] + " does not exist");
            return kExitFailed;
        }
        list += (list.empty() ? "\"" : " \"") + *source + "\"";
    }
    const auto base = windowsPathArg(args.value("base", "."));
    if (!base)
        return kExitUsage;

    RunSettings run;
    if (!applyCabinetOptions(syntax, args, run))
        return kExitUsage;
    return makeCabinet(*cabinet, list, *base, 0);
}

int convertCommand(int argc, char **argv, int first)
{
    const CommandSyntax &syntax = convertSyntax();
    const ParsedArgs args = parseArgs(syntax, argc, argv, first);
    if (auto done = checkArgs(syntax, args))
        return *done;
    if (args.positional.size() != 2)
        return usageError(syntax, "name the source and the target");
    PromptOptions prompts;
    if (!promptOptionsFrom(args, &prompts))
        return kExitUsage;
    std::optional<int> level;
    if (args.has("level")) {
        const auto value = parseNumber(args.value("level"), 0, 9);
        if (!value)
            return usageError(syntax, "--level takes 0 to 9");
        level = static_cast<int>(*value);
    }
    int exitCode = 0;
    const auto source = existingArchive(args.positional[0], &exitCode);
    if (!source)
        return exitCode;
    const auto target = windowsPathArg(args.positional[1]);
    if (!target)
        return kExitUsage;
    const bool toCabinet = hasExtension(*target, ".cab");
    if (!toCabinet && !hasExtension(*target, ".zip"))
        return usageError(syntax, "the target's name must end in .cab or .zip");
    if ((source->kind == ARCHIVE_CABINET) == toCabinet)
        return usageError(syntax, "convert goes from ZIP to cabinet or from cabinet to ZIP");
    if (const unsigned exists = DoesFileExist(target->c_str())) {
        if (exists >= 2 || !args.has("replace")) {
            errorLine(args.positional[1] + " exists; give --replace to replace it");
            return kExitTargetExists;
        }
    }
    RunSettings run;
    if (!applyCabinetOptions(syntax, args, run))
        return kExitUsage;
    setPromptOptions(prompts);

    TempFolder temp;
    if (temp.host.empty()) {
        errorLine("cannot make a temporary folder");
        return 28;
    }
    {
        StringList sources{source->windowsPath};
        StringList folders{temp.windows};
        _EXTRACT request{};
        request.flags =
            EXF_OPEN | EXF_ALL | EXF_CONVERT | (source->kind == ARCHIVE_CABINET ? EXF_CABINET : 0u);
        request.sourceList = &sources;
        request.destList = &folders;
        StderrProgress progress(isatty(STDERR_FILENO) != 0);
        const int result = runExtract(request);
        if (result != 0) {
            errorLine("the source could not be extracted (result " + std::to_string(result) +
                      "); nothing converted");
            return result < 0 ? kExitFailed : result;
        }
    }
    // Only now is the old target given up.
    if (DoesFileExist(target->c_str()) == 1 && !plat::deleteFile(target->c_str())) {
        errorLine("cannot replace " + args.positional[1]);
        return kExitTargetExists;
    }
    const std::string list = "\"" + temp.windows + "\\*.*\"";
    if (toCabinet)
        return makeCabinet(*target, list, temp.windows, ADF_CONVERT);

    std::unique_ptr<_ADD, void (*)(_ADD *)> add(static_cast<_ADD *>(std::calloc(1, sizeof(_ADD))),
                                                [](_ADD *a) {
                                                    if (a)
                                                        std::free(a->fileList);
                                                    std::free(a);
                                                });
    if (!add)
        return 4;
    std::snprintf(add->archivePath, sizeof add->archivePath, "%s", target->c_str());
    add->fileList = heapText(list);
    // The extracted copies move into the archive with their folders; Add
    // takes the factor from the settings, set here for this command.
    add->flags |= ADF_CONVERT;
    if (level)
        run.set(settings::compression::Factor, *level);
    bool started = false;
    int result = 0;
    {
        StderrProgress progress(isatty(STDERR_FILENO) != 0);
        result = runAdd(*add, &started);
    }
    if (result != 0)
        errorLine("the ZIP archive could not be made (result " + std::to_string(result) + ")");
    return result;
}

} // namespace brx
