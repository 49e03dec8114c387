// brx: the command-line front end of the archive libraries. It drives the
// exported functions of BRXEXTRC.DLL and BRXCOMP.DLL without windows: the
// libraries' windows are made off-screen and every question they ask is
// answered by the program's own responder (prompts.h).

#include "commands.h"
#include "common.h"
#include "interrupt.h"
#include "prompts.h"

#include "platform/restart.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Qt's and the libraries' diagnostics (missing runtime folder, raise() on
// the off-screen platform ...) would mix with the program's own output;
// only critical ones are kept unless BRX_VERBOSE is set.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg || std::getenv("BRX_VERBOSE"))
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

struct Command {
    const char *name;
    int (*run)(int, char **, int);
    const char *summary;
};

const Command kCommands[] = {
    {"list", brx::listCommand, "list the entries of an archive"},
    {"test", brx::testCommand, "test every entry of an archive"},
    {"extract", brx::extractCommand, "extract an archive or some of its entries"},
    {"add", brx::addCommand, "add files to a ZIP archive"},
    {"delete", brx::deleteCommand, "remove entries from a ZIP archive"},
    {"comment", brx::commentCommand, "show or set a ZIP archive's comment"},
    {"cab", brx::cabCommand, "make a cabinet from files"},
    {"convert", brx::convertCommand, "convert a ZIP archive to a cabinet or back"},
};

void printUsage(FILE *out)
{
    std::fputs("Usage: brx COMMAND [options] ARGUMENTS\n\nCommands:\n", out);
    for (const Command &c : kCommands)
        std::fprintf(out, "  %-10s%s\n", c.name, c.summary);
    std::fputs(
        "\nPaths may be host paths (/tmp/a.zip, docs/x.txt) or Windows paths (C:\\tmp\\a.zip).\n"
        "brx COMMAND --help describes a command. Exit status: 0 success, 64 usage error,\n"
        "otherwise the libraries' result codes (tools/cli/README.md).\n",
        out);
}

} // namespace

int main(int argc, char **argv)
{
    plat::startPlatform();
    if (argc < 2) {
        printUsage(stderr);
        return brx::kExitUsage;
    }
    const char *name = argv[1];
    if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h") || !std::strcmp(name, "help")) {
        if (argc > 2 && std::strcmp(name, "help") == 0) {
            for (const Command &c : kCommands)
                if (!std::strcmp(c.name, argv[2])) {
                    char help[] = "--help";
                    char *helpArgv[] = {argv[0], argv[2], help, nullptr};
                    // The help text needs no libraries' windows.
                    return c.run(3, helpArgv, 2);
                }
        }
        printUsage(stdout);
        return brx::kExitOk;
    }
    const Command *command = nullptr;
    for (const Command &c : kCommands)
        if (!std::strcmp(c.name, name))
            command = &c;
    if (!command) {
        brx::errorLine(std::string("unknown command ") + name);
        printUsage(stderr);
        return brx::kExitUsage;
    }

    // The libraries' windows (progress, dialogs) exist but are never shown
    // on a screen.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(quietMessages);
    // Qt takes its own options (-reverse, -style, -platform ...) out of the
    // arguments it is given; it gets only the program name, so every
    // argument stays brx's.
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    brx::installPrompts(brx::PromptOptions{});
    brx::installInterruptHandling();
    std::fflush(stdout);
    const int code = command->run(argc, argv, 2);
    std::fflush(stdout);
    return code;
}
