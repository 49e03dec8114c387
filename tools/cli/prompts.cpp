#include "prompts.h"

#include "interrupt.h"
#include "platform/modal.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <mutex>
#include <vector>

namespace brx {

namespace {

// Dialog numbers and buttons of the libraries' dialogs.
constexpr unsigned kConfirmDialog = 131; // replace question
constexpr int kConfirmYes = 6, kConfirmYesToAll = 5, kConfirmNo = 7, kConfirmNoToAll = 11,
              kConfirmCancel = 2;
constexpr int kConfirmText = 1009;
constexpr unsigned kDecryptDialog = 132;
constexpr int kDecryptUseForAll = 4, kDecryptSkip = 3, kDecryptSkipAll = 5;
constexpr int kDecryptText = 1005, kDecryptCode = 1006;
constexpr unsigned kPasswordDialog = 175;
constexpr int kPasswordCode = 1151, kNoPassword = 4;
constexpr unsigned kCabOverwriteDialog = 176;
constexpr unsigned kCloseQuestion = 57355;
constexpr unsigned kMultiVolumeDialog = 54;
constexpr int kVolumeChoices[] = {1014, 1015, 1016}; // keep, delete, format
constexpr int kCabOverwriteYesToAll = 1001, kCabOverwriteName = 1003;

std::mutex g_mutex;
PromptOptions g_options;
std::string g_lastNote; // guarded by g_mutex

bool isDiskPrompt(const plat::ModalRequest &r)
{
    // Insert-disk texts of the message library, the cabinet reader and the
    // cabinet writer.
    switch (r.id) {
    case 57370:
    case 57371:
    case 57372:
    case 57373: return r.module != "BRXEXTRC.DLL";
    case 602: return true;
    default: return false;
    }
}

bool isCabinetOverwrite(const plat::ModalRequest &r)
{
    return r.kind == plat::ModalKind::Dialog &&
           ((r.id == kCabOverwriteDialog && r.module == "BRXCOMP.DLL") ||
            r.caption.find("Overwrite Warning") != std::string::npos);
}

std::string field(const plat::ModalRequest &r, int id)
{
    const auto it = r.fields.find(id);
    return it == r.fields.end() ? std::string() : it->second;
}

// A progress line may stand on the terminal; questions and notes start
// on a cleared line.
void clearProgressLine()
{
    if (isatty(STDERR_FILENO))
        std::fputs("\r\033[K", stderr);
}

void note(const std::string &text)
{
    clearProgressLine();
    std::fprintf(stderr, "brx: %s\n", text.c_str());
    std::fflush(stderr);
}

plat::ModalAnswer refuse(const std::string &why, int button)
{
    note(why);
    return plat::ModalAnswer{button, {}};
}

plat::ModalAnswer replaceQuestion(const plat::ModalRequest &r, const PromptOptions &o)
{
    std::string question = field(r, kConfirmText);
    if (question.empty())
        question = r.text;
    if (o.replace == ReplaceAnswer::All)
        return {kConfirmYesToAll, {}};
    if (o.replace == ReplaceAnswer::None)
        return {kConfirmNoToAll, {}};
    if (!o.interactive)
        return refuse(question + "\n  no answer: give --overwrite replace|skip|rename (stopped)",
                      kConfirmCancel);
    for (;;) {
        const auto line =
            askLine(question + "\n  [y]es, yes to [a]ll, [n]o, no to all [s], [c]ancel: ");
        if (!line)
            return {kConfirmCancel, {}};
        if (*line == "y")
            return {kConfirmYes, {}};
        if (*line == "a")
            return {kConfirmYesToAll, {}};
        if (*line == "n")
            return {kConfirmNo, {}};
        if (*line == "s")
            return {kConfirmNoToAll, {}};
        if (*line == "c")
            return {kConfirmCancel, {}};
    }
}

plat::ModalAnswer decryptQuestion(const plat::ModalRequest &r, const PromptOptions &o)
{
    const std::string question = field(r, kDecryptText);
    if (o.password)
        return {kDecryptUseForAll, {{kDecryptCode, *o.password}}};
    if (!o.interactive)
        return refuse(question + "\n  no decryption code given (--password); encrypted entries "
                                 "skipped",
                      kDecryptSkipAll);
    const auto code =
        askLine(question + "\n  decryption code for this and the following encrypted files "
                           "(empty: skip this file): ",
                true);
    if (!code || code->empty())
        return {kDecryptSkip, {}};
    return {kDecryptUseForAll, {{kDecryptCode, *code}}};
}

plat::ModalAnswer passwordQuestion(const PromptOptions &o)
{
    if (o.password)
        return {plat::IDOK, {{kPasswordCode, *o.password}}};
    if (!o.interactive)
        return {kNoPassword, {}};
    const auto code = askLine("password for the new entries (empty: none): ", true);
    if (!code || code->empty())
        return {kNoPassword, {}};
    return {plat::IDOK, {{kPasswordCode, *code}}};
}

plat::ModalAnswer diskQuestion(const plat::ModalRequest &r, const PromptOptions &o)
{
    if (o.disk == DiskAnswer::Ready)
        return {plat::IDOK, {}};
    if (o.disk == DiskAnswer::Cancel) {
        note(r.text + "\n  cancelled (--disk cancel)");
        return {plat::IDCANCEL, {}};
    }
    if (!o.interactive)
        return refuse(r.text + "\n  no answer: give --disk ready|cancel (cancelled)",
                      plat::IDCANCEL);
    const auto line = askLine(r.text + "\n  press Enter when ready, or type c to cancel: ");
    return {line && *line != "c" ? plat::IDOK : plat::IDCANCEL, {}};
}

plat::ModalAnswer cabinetOverwrite(const plat::ModalRequest &r, const PromptOptions &o)
{
    std::string name = field(r, kCabOverwriteName);
    if (name.empty())
        name = "the cabinet";
    if (o.replace == ReplaceAnswer::All)
        return {kCabOverwriteYesToAll, {}};
    if (o.replace == ReplaceAnswer::None || !o.interactive)
        return refuse(name + " exists; give --replace to replace it (stopped)", plat::IDCANCEL);
    const auto line = askLine("overwrite " + name + "? [y]es, yes to [a]ll, [c]ancel: ");
    if (line && *line == "y")
        return {plat::IDYES, {}};
    if (line && *line == "a")
        return {kCabOverwriteYesToAll, {}};
    return {plat::IDCANCEL, {}};
}

plat::ModalAnswer volumeQuestion(const PromptOptions &o)
{
    int choice = o.volumes;
    if (choice < 0 && o.interactive) {
        const auto line = askLine("the target is on a removable drive: spread it over disks, "
                                  "[k]eep, [d]elete or [f]ormat each disk's files, [c]ancel: ");
        choice = !line ? -1 : *line == "k" ? 0 : *line == "d" ? 1 : *line == "f" ? 2 : -1;
        if (choice < 0)
            return {plat::IDCANCEL, {}};
    }
    if (choice < 0)
        return refuse("the target is on a removable drive and would span disks\n"
                      "  no answer: give --volumes keep|delete|format (cancelled)",
                      plat::IDCANCEL);
    return {plat::IDOK, {{kVolumeChoices[choice], "1"}}};
}

plat::ModalAnswer otherQuestion(const plat::ModalRequest &r, const PromptOptions &o)
{
    const int fallback = plat::defaultModalAnswer(r);
    if (r.kind == plat::ModalKind::MessageBox && (r.style & plat::MB_TYPEMASK) == plat::MB_OK) {
        // The engines report once per call; an entry-by-entry run would
        // repeat the same sentence for every entry.
        bool repeated = false;
        {
            std::lock_guard lock(g_mutex);
            repeated = g_lastNote == r.text;
            g_lastNote = r.text;
        }
        if (!repeated)
            note(r.text);
        return {plat::IDOK, {}};
    }
    const std::string text = r.text.empty() ? r.caption : r.text;
    if (r.kind == plat::ModalKind::Dialog || !o.interactive)
        return refuse(text + "\n  cannot be answered here; default answer given", fallback);
    struct Choice {
        const char *key;
        int button;
    };
    std::vector<Choice> choices;
    switch (r.style & plat::MB_TYPEMASK) {
    case plat::MB_OKCANCEL: choices = {{"o", plat::IDOK}, {"c", plat::IDCANCEL}}; break;
    case plat::MB_YESNO: choices = {{"y", plat::IDYES}, {"n", plat::IDNO}}; break;
    case plat::MB_YESNOCANCEL:
        choices = {{"y", plat::IDYES}, {"n", plat::IDNO}, {"c", plat::IDCANCEL}};
        break;
    case plat::MB_RETRYCANCEL: choices = {{"r", plat::IDRETRY}, {"c", plat::IDCANCEL}}; break;
    case plat::MB_ABORTRETRYIGNORE:
        choices = {{"a", plat::IDABORT}, {"r", plat::IDRETRY}, {"i", plat::IDIGNORE}};
        break;
    default: return {fallback, {}};
    }
    std::string keys;
    for (const Choice &c : choices)
        keys += std::string(keys.empty() ? "" : "/") + c.key;
    for (;;) {
        const auto line = askLine(text + " [" + keys + "]: ");
        if (!line)
            return {fallback, {}};
        for (const Choice &c : choices)
            if (*line == c.key)
                return {c.button, {}};
    }
}

plat::ModalAnswer respond(const plat::ModalRequest &r)
{
    PromptOptions o;
    {
        std::lock_guard lock(g_mutex);
        o = g_options;
    }
    // The progress window's "cancel?" question after Ctrl-C.
    if (r.id == kCloseQuestion && r.module == "BRXMSG.DLL" && interruptRequested())
        return {plat::IDYES, {}};
    if (r.kind == plat::ModalKind::Dialog && r.id == kConfirmDialog)
        return replaceQuestion(r, o);
    if (r.kind == plat::ModalKind::Dialog && r.id == kDecryptDialog)
        return decryptQuestion(r, o);
    if (r.kind == plat::ModalKind::Dialog && r.id == kPasswordDialog)
        return passwordQuestion(o);
    if (r.kind == plat::ModalKind::Dialog && r.id == kMultiVolumeDialog &&
        r.module == "BRXCOMP.DLL")
        return volumeQuestion(o);
    if (isCabinetOverwrite(r))
        return cabinetOverwrite(r, o);
    if (isDiskPrompt(r))
        return diskQuestion(r, o);
    return otherQuestion(r, o);
}

} // namespace

void installPrompts(const PromptOptions &options)
{
    setPromptOptions(options);
    plat::setModalResponder(respond);
}

void setPromptOptions(const PromptOptions &options)
{
    std::lock_guard lock(g_mutex);
    g_options = options;
}

std::optional<std::string> askLine(const std::string &question, bool secret)
{
    clearProgressLine();
    std::fputs(question.c_str(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool hide = secret && isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (hide) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fputs("\n", stderr);
    }
    if (!got)
        return std::nullopt;
    return line;
}

} // namespace brx
