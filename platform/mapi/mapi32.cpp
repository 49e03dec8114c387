// The platform's mail module: Simple MAPI's send call handed to the desktop's
// mail program through xdg-email, which opens a compose window with the
// attachments.

#include "platform/mapi.h"
#include "platform/path.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <vector>

extern char **environ;

namespace {

std::string findInPath(const char *program)
{
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        std::string dir =
            dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + program;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return {};
}

// Runs the program and waits for it; its exit status, or -1 when it could not run.
int run(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::string recipientAddress(const plat::MapiRecipDesc &r)
{
    std::string address = r.address ? r.address : (r.name ? r.name : "");
    if (address.compare(0, 5, "SMTP:") == 0 || address.compare(0, 5, "smtp:") == 0)
        address.erase(0, 5);
    return address;
}

} // namespace

// Declines to load where the desktop has no mail program.
extern "C" __attribute__((visibility("default"))) int brx_process_attach()
{
    return findInPath("xdg-email").empty() ? 0 : 1;
}

extern "C" __attribute__((visibility("default"))) plat::MAPI_ULONG
MAPISendMail(plat::LHANDLE, std::uintptr_t, plat::MapiMessage *message, plat::MAPI_ULONG,
             plat::MAPI_ULONG)
{
    if (!message)
        return plat::MAPI_E_FAILURE;
    std::string program = findInPath("xdg-email");
    if (program.empty())
        return plat::MAPI_E_FAILURE;
    std::vector<std::string> args = {program, "--utf8"};
    if (message->subject && *message->subject)
        args.insert(args.end(), {"--subject", message->subject});
    if (message->noteText && *message->noteText)
        args.insert(args.end(), {"--body", message->noteText});
    for (plat::MAPI_ULONG i = 0; i < message->fileCount; ++i) {
        const plat::MapiFileDesc &file = message->files[i];
        if (!file.pathName)
            return plat::MAPI_E_ATTACHMENT_NOT_FOUND;
        std::string host = plat::windowsToHostPath(file.pathName).value_or(std::string());
        std::error_code ec;
        if (host.empty() || !std::filesystem::is_regular_file(host, ec))
            return plat::MAPI_E_ATTACHMENT_NOT_FOUND;
        args.insert(args.end(), {"--attach", host});
    }
    std::vector<std::string> to;
    for (plat::MAPI_ULONG i = 0; i < message->recipCount; ++i) {
        const plat::MapiRecipDesc &r = message->recips[i];
        std::string address = recipientAddress(r);
        if (address.empty())
            return plat::MAPI_E_INVALID_RECIPS;
        if (r.recipClass == plat::MAPI_CC)
            args.insert(args.end(), {"--cc", address});
        else if (r.recipClass == plat::MAPI_BCC)
            args.insert(args.end(), {"--bcc", address});
        else if (r.recipClass == plat::MAPI_TO)
            to.push_back(address);
        else
            return plat::MAPI_E_BAD_RECIPTYPE;
    }
    args.insert(args.end(), to.begin(), to.end());
    switch (run(args)) {
    case 0: return plat::SUCCESS_SUCCESS;
    case 2: return plat::MAPI_E_ATTACHMENT_NOT_FOUND;
    case 3: return plat::MAPI_E_LOGON_FAILURE; // no mail program configured
    default: return plat::MAPI_E_FAILURE;
    }
}
