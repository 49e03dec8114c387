// Extraction in a process without widgets: no progress window can be made,
// so the cabinet messages fall back to the caller's window, or to no owner.

#include <filesystem>
#include <gtest/gtest.h>

#include "brxextrc.h"
#include "platform/messages.h"
#include "platform/path.h"
#include "scripted_responder.h"
#include "testenv.h"

namespace fs = std::filesystem;

TEST(ExtractWithoutGui, CabinetMessagesFallBackToTheCallersWindow)
{
    const std::string dir = brxtest::makeScratchDir("nogui-set");
    fs::copy_file(brxtest::fixturePath("cab/cabd_multi_basic_pt1.cab"),
                  dir + "/cabd_multi_basic_pt1.cab");
    const std::string out = brxtest::makeScratchDir("nogui-out");
    plat::HWND parent =
        plat::createWindow([](plat::UINT, plat::WPARAM, plat::LPARAM) { return plat::LRESULT{0}; });
    for (const plat::HWND owner : {plat::HWND{}, parent}) {
        SCOPED_TRACE(owner ? "parent window" : "no window");
        StringList sources{plat::hostToWindowsPath(dir + "/cabd_multi_basic_pt1.cab").value()};
        StringList dests{plat::hostToWindowsPath(out).value()};
        _EXTRACT req{};
        req.flags = EXF_SYNC | EXF_ALL | EXF_CABINET;
        req.sourceList = &sources;
        req.destList = &dests;
        req.parentWnd = owner;
        brxtest::ScriptedResponder responder;
        responder.answer(7, plat::IDOK); // "Can not find ... cabinet file!"
        EXPECT_EQ(Extract(&req), 1);
        EXPECT_EQ(req.progressWnd, nullptr);
        const auto requests = responder.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].owner, owner);
        EXPECT_EQ(requests[0].caption, "Brindle Dovozoz");
        // The files before the missing part are there all the same.
        EXPECT_TRUE(fs::exists(out + "/test1.txt"));
    }
    plat::destroyWindow(parent);
}
