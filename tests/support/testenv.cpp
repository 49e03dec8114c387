#include "testenv.h"

#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/strings.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace brxtest {
namespace {

std::string g_scratch;

void removeScratch()
{
    if (!g_scratch.empty() && !std::getenv("BRX_KEEP_TEST_ROOT")) {
        std::error_code ec;
        fs::remove_all(g_scratch, ec);
    }
}

std::string envOr(const char *name, const std::string &fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? value : fallback;
}

} // namespace

void prepareProcessEnvironment()
{
    std::string pattern = (fs::temp_directory_path() / "brxtest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    g_scratch = pattern;
    std::atexit(removeScratch);
    fs::create_directories(g_scratch + "/root");
    setenv("BRX_ROOT", (g_scratch + "/root").c_str(), 1);
    unsetenv("BRX_DRIVES");
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void installTestGuards()
{
    plat::setMissingResourceHandler(
        [](std::string_view kind, std::string_view module, plat::UINT id) {
            ADD_FAILURE() << "missing " << kind << " " << id << " in " << module;
        });
    plat::setModalResponder([](const plat::ModalRequest &request) {
        ADD_FAILURE() << "unexpected modal request " << request.id << " (" << request.module
                      << "): \"" << request.text << "\" caption \"" << request.caption << "\"";
        return plat::ModalAnswer{plat::defaultModalAnswer(request), {}};
    });
}

const std::string &scratchDir()
{
    return g_scratch;
}

std::string makeScratchDir(const std::string &name)
{
    fs::path dir = fs::path(g_scratch) / "scratch" / name;
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
    return dir.string();
}

std::string fixturePath(const std::string &relative)
{
    return envOr("BRX_FIXTURES", BRX_DEFAULT_FIXTURES) + "/" + relative;
}

std::string binDir()
{
    return envOr("BRX_BIN_DIR", BRX_DEFAULT_BIN_DIR);
}

std::string runCommand(const std::string &command, int *status)
{
    std::string output;
    if (FILE *pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        const int rc = pclose(pipe);
        if (status)
            *status = rc;
    }
    return output;
}

bool haveTool(const std::string &name)
{
    return std::system(("command -v '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}

bool pumpUntil(const std::function<bool()> &done, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        plat::pumpMessages();
    }
    return true;
}

char *heapText(const std::string &text)
{
    char *copy = static_cast<char *>(std::calloc(text.size() + 1, 1));
    if (copy)
        std::memcpy(copy, text.data(), text.size());
    return copy;
}

} // namespace brxtest
