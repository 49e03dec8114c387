// brx test, brx extract: Extract requests of the extract library.

#include "brxextrc.h"
#include "brxutil.h"
#include "commands.h"
#include "common.h"
#include "listing.h"
#include "operations.h"
#include "progress.h"
#include "run_settings.h"

#include "platform/file.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace brx {

namespace {

namespace dz = settings::decompression;

const CommandSyntax &testSyntax()
{
    static const CommandSyntax s{
        "test",
        "[options] ARCHIVE",
        "Tests every entry of a ZIP archive or cabinet (decodes it and checks its CRC)\n"
        "and says whether the archive passed.",
        {passwordOption("decryption code for encrypted entries"), diskOption()},
        "Exit status: 0 passed; 49 encrypted entries could not be tested (no or wrong\n"
        "decryption code); 41 or 48 encrypted entries skipped or cancelled at the question;\n"
        "any other code: the archive failed (2 damaged, 1 cabinet failed, ...).\n",
    };
    return s;
}

const CommandSyntax &extractSyntax()
{
    static const CommandSyntax s{
        "extract",
        "[options] ARCHIVE [ENTRY...]",
        "Extracts the whole archive, or the entries named (stored paths with / or \\,\n"
        "case ignored, * and ? allowed), into the destination folder.",
        {
            {"destination", 'd', "FOLDER", "where to extract (default: the current folder)"},
            {"overwrite", 'o', "MODE",
             "existing files: ask, replace, skip or rename (\"%f (%n)\"\n" + std::string(32, ' ') +
                 "copies); default: the Overwrite setting"},
            {"folders", 0, "", "recreate the stored folders (default: the Path setting)"},
            {"flat", 0, "", "drop the stored folders"},
            {"update", 0, "", "only entries newer than the existing file, or missing"},
            {"freshen", 0, "", "only entries newer than an existing file"},
            passwordOption("decryption code for encrypted entries"),
            diskOption(),
        },
        "Without --overwrite the setting applies; when it is \"ask\" and standard input is\n"
        "no terminal, the first existing file stops the run with a message.\n",
    };
    return s;
}

bool isTty(int fd)
{
    return isatty(fd) != 0;
}

std::string slashesToBackslashes(std::string text)
{
    for (char &c : text)
        if (c == '/')
            c = '\\';
    return text;
}

// The request of one archive and folder, waited for to its end.
int runRequest(const ArchiveArg &archive, const std::string &destination, std::uint32_t flags,
               std::vector<ZIPINFOEX> *chosen)
{
    StringList sources{archive.windowsPath};
    StringList folders{destination};
    _EXTRACT request{};
    request.flags = flags | (archive.kind == ARCHIVE_CABINET ? EXF_CABINET : 0u);
    request.sourceList = &sources;
    request.destList = &folders;
    if (chosen) {
        request.entriesSupplied = 1;
        request.entries = chosen->data();
        request.entryCount = static_cast<int>(chosen->size());
    }
    StderrProgress progress(isTty(STDERR_FILENO));
    return runExtract(request);
}

} // namespace

int testCommand(int argc, char **argv, int first)
{
    const ParsedArgs args = parseArgs(testSyntax(), argc, argv, first);
    if (auto done = checkArgs(testSyntax(), args))
        return *done;
    if (args.positional.size() != 1)
        return usageError(testSyntax(), "name one archive");
    PromptOptions prompts;
    if (!promptOptionsFrom(args, &prompts))
        return kExitUsage;
    setPromptOptions(prompts);
    int exitCode = 0;
    const auto archive = existingArchive(args.positional[0], &exitCode);
    if (!archive)
        return exitCode;

    // A test pass writes nothing, but the request still names a destination
    // folder; a scratch one keeps any future slip away from the user's files.
    TempFolder scratch;
    if (scratch.host.empty()) {
        errorLine("cannot make a temporary folder for the test");
        return 28;
    }
    const int result = runRequest(*archive, scratch.windows, EXF_TEST | EXF_ALL, nullptr);
    if (result < 0) {
        errorLine("the test could not be started");
        return kExitFailed;
    }
    switch (result) {
    case RESULT_SUCCESS: std::printf("The archive passed the test and is valid\n"); break;
    case RESULT_NOTHING_DONE:
        errorLine("the test was not completed (cancelled, or nothing to test)");
        break;
    case RESULT_ENCRYPTED_SKIPPED_AT_PROMPT:
    case RESULT_ENGINE_SKIPPED_ENCRYPTED:
        // Skipped entries were not tested: that says nothing about the archive.
        std::printf("The archive could not be fully tested because the proper decryption code "
                    "was not entered\n");
        break;
    default: std::printf("The archive FAILED the test and is invalid\n"); break;
    }
    return result;
}

int extractCommand(int argc, char **argv, int first)
{
    const CommandSyntax &syntax = extractSyntax();
    const ParsedArgs args = parseArgs(syntax, argc, argv, first);
    if (auto done = checkArgs(syntax, args))
        return *done;
    if (args.positional.empty())
        return usageError(syntax, "name an archive");
    if (args.has("folders") && args.has("flat"))
        return usageError(syntax, "--folders and --flat exclude each other");
    if (args.has("update") && args.has("freshen"))
        return usageError(syntax, "--update and --freshen exclude each other");
    int overwriteMode = -1;
    if (args.has("overwrite")) {
        const std::string mode = args.value("overwrite");
        const char *modes[] = {"ask", "rename", "replace", "skip"};
        for (int i = 0; i < 4; ++i)
            if (mode == modes[i])
                overwriteMode = i;
        if (overwriteMode < 0)
            return usageError(syntax, "--overwrite takes ask, replace, skip or rename");
    }
    PromptOptions prompts;
    if (!promptOptionsFrom(args, &prompts))
        return kExitUsage;
    setPromptOptions(prompts);

    int exitCode = 0;
    const auto archive = existingArchive(args.positional[0], &exitCode);
    if (!archive)
        return exitCode;
    const auto destination = windowsPathArg(args.value("destination", "."));
    if (!destination)
        return kExitUsage;
    if (DoesFileExist(destination->c_str()) == 1) {
        errorLine("the destination " + args.value("destination") + " is a file");
        return kExitUsage;
    }
    if (!make_dirs((*destination + "\\").c_str()) || DoesFileExist(destination->c_str()) < 2) {
        errorLine("cannot create the destination " + args.value("destination", "."));
        return 28;
    }

    std::vector<ZIPINFOEX> chosen;
    const bool named = args.positional.size() > 1;
    if (named) {
        Catalogue catalogue;
        const int loaded = loadCatalogue(archive->windowsPath, archive->kind, &catalogue);
        if (loaded != 0) {
            errorLine("the file '" + args.positional[0] + "' is empty or could not be opened");
            return loaded > 0 && loaded < 256 ? loaded : kExitNotArchive;
        }
        for (std::size_t n = 1; n < args.positional.size(); ++n) {
            const std::string pattern = slashesToBackslashes(args.positional[n]);
            bool found = false;
            for (const ZIPINFOEX &entry : catalogue.entries) {
                if (!isListed(entry) || !plat::matchesWildcard(pattern, entry.path))
                    continue;
                found = true;
                const bool already =
                    std::any_of(chosen.begin(), chosen.end(), [&](const ZIPINFOEX &e) {
                        return e.entryIndex == entry.entryIndex &&
                               std::strcmp(e.path, entry.path) == 0;
                    });
                if (!already)
                    chosen.push_back(entry);
            }
            if (!found) {
                errorLine("no entry matches " + args.positional[n]);
                return kExitNothingToDo;
            }
        }
    }

    RunSettings run;
    if (overwriteMode >= 0)
        run.set(dz::Overwrite, overwriteMode);
    if (args.has("folders") || args.has("flat"))
        run.set(dz::Path, args.has("flat") ? 0 : 1);
    if (args.has("update") || args.has("freshen"))
        run.set(dz::Method, args.has("update") ? 1 : 2);
    // With the Overwrite setting itself at "ask", a terminal-less run answers
    // the question by refusing; --overwrite avoids that.

    const std::uint32_t flags = EXF_EXTRACT | (named ? 0u : std::uint32_t(EXF_ALL));
    const int result = runRequest(*archive, *destination, flags, named ? &chosen : nullptr);
    run.restore();
    if (result < 0) {
        errorLine("the extraction could not be started");
        return kExitFailed;
    }
    if (result == RESULT_ENCRYPTED_SKIPPED_AT_PROMPT || result == RESULT_ENGINE_SKIPPED_ENCRYPTED)
        errorLine("encrypted entries were skipped");
    else if (result == RESULT_NOTHING_DONE)
        errorLine("nothing was extracted (cancelled, or nothing to extract)");
    else if (result != 0)
        errorLine("extraction failed (result " + std::to_string(result) + ")");
    return result;
}

} // namespace brx
