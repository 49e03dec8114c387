// Extracts a whole ZIP archive once, either through the extract library or
// through the engine alone, so the caller can time the process and see what
// the library adds on top of the engine. Both ways start the same Qt
// application and system root, so start-up costs cancel out.
//
//   extract_bench library ARCHIVE DEST   Extract, EXF_SYNC | EXF_ALL
//   extract_bench engine ARCHIVE DEST    dunzipS function 8 (overwrite, keep folders)
//
// Host paths on the command line. Runs on Qt's offscreen platform and never
// shows a window; any question the run would ask is answered "no" and makes
// the exit status 1. Without BRX_ROOT a private system root is made and
// removed afterwards. Exit status: 0 success, 1 failure (result on stderr),
// 2 bad arguments.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "brxextrc.h"
#include "common/settings.h"
#include "engine_extract.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/path.h"
#include "platform/strings.h"

namespace fs = std::filesystem;

namespace {

bool g_asked = false;

std::string win(const std::string &host)
{
    return plat::hostToWindowsPath(host).value_or("");
}

int runLibrary(const std::string &archive, const std::string &dest)
{
    // A synchronous request uses fixed settings; the overwrite setting is
    // still written so that nothing could stop to ask if that changed.
    settings::write(settings::decompression::Overwrite, 2);
    settings::write(settings::decompression::Path, 1);
    StringList sources{archive};
    StringList dests{dest};
    _EXTRACT req{};
    req.flags = EXF_SYNC | EXF_ALL;
    req.sourceList = &sources;
    req.destList = &dests;
    const int result = Extract(&req);
    if (req.progressWnd)
        plat::sendMessage(req.progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
    return result;
}

int runEngine(const std::string &archive, const std::string &dest)
{
    return engineExtract(archive.c_str(), dest.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: extract_bench library|engine ARCHIVE DEST\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode != "library" && mode != "engine") {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string privateRoot;
    if (!std::getenv("BRX_ROOT")) {
        std::string pattern = (fs::temp_directory_path() / "brx-extract-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        privateRoot = pattern;
        setenv("BRX_ROOT", privateRoot.c_str(), 1);
    }
    int status = 1;
    {
        QApplication app(argc, argv);
        plat::setMissingResourceHandler(
            [](std::string_view kind, std::string_view module, plat::UINT id) {
                std::fprintf(stderr, "missing %.*s %u in %.*s\n", static_cast<int>(kind.size()),
                             kind.data(), id, static_cast<int>(module.size()), module.data());
            });
        plat::setModalResponder([](const plat::ModalRequest &request) {
            g_asked = true;
            std::fprintf(stderr, "unexpected question %u: %s\n", request.id, request.text.c_str());
            return plat::ModalAnswer{plat::defaultModalAnswer(request), {}};
        });
        std::error_code ec;
        fs::create_directories(argv[3], ec);
        const std::string archive = win(argv[2]);
        const std::string dest = win(argv[3]);
        if (archive.empty() || dest.empty()) {
            std::fprintf(stderr, "no drive holds %s or %s\n", argv[2], argv[3]);
        } else {
            const int result =
                mode == "library" ? runLibrary(archive, dest) : runEngine(archive, dest);
            if (result != 0)
                std::fprintf(stderr, "%s result %d\n", mode.c_str(), result);
            status = result == 0 && !g_asked ? 0 : 1;
        }
    }
    if (!privateRoot.empty()) {
        std::error_code ec;
        fs::remove_all(privateRoot, ec);
    }
    return status;
}
