#include "operations.h"

#include "brxcomp.h"
#include "brxextrc.h"
#include "platform/messages.h"

#include <QEventLoop>

namespace brx {

namespace {

// Handles events until WM_OPERATION_DONE for `record` arrives; `start`
// runs once the handler is in place and says whether anything was started.
template <typename Start> bool waitForDone(const void *record, Start start)
{
    plat::ThreadObject *thread = plat::ThreadObject::current();
    bool done = false;
    QEventLoop loop;
    thread->setHandler([&](plat::UINT msg, plat::WPARAM wParam, plat::LPARAM) {
        if (msg == plat::WM_OPERATION_DONE && wParam == reinterpret_cast<plat::WPARAM>(record)) {
            done = true;
            loop.quit();
        }
    });
    const bool started = start(thread);
    if (started && !done)
        loop.exec();
    thread->setHandler({});
    return started;
}

void closeProgress(HWND &window)
{
    if (window)
        plat::sendMessage(window, plat::WM_PROGRESS_CLOSE, 0, 0);
    window = nullptr;
}

} // namespace

int runExtract(_EXTRACT &request)
{
    const bool started = waitForDone(&request, [&](plat::ThreadObject *thread) {
        request.uiThread = thread;
        return Extract(&request) == 0;
    });
    closeProgress(request.progressWnd);
    return started ? request.result : -1;
}

int runAdd(_ADD &request, bool *started)
{
    const bool ok = waitForDone(&request, [&](plat::ThreadObject *thread) {
        request.uiThread = thread;
        return Add(&request) == 1;
    });
    if (started)
        *started = ok;
    closeProgress(request.progressWnd);
    return ok ? request.result : RESULT_ADD_CANCELLED;
}

int runDelete(_ADD &request)
{
    int result = 0;
    waitForDone(&request, [&](plat::ThreadObject *thread) {
        request.uiThread = thread;
        result = Delete(&request);
        return true;
    });
    return result;
}

int runCabinet(CAB &request)
{
    bool cancelled = false;
    waitForDone(&request, [&](plat::ThreadObject *thread) {
        request.uiThread = thread;
        cancelled = DoCab(&request) == 0;
        return !cancelled;
    });
    closeProgress(request.progressWnd);
    if (cancelled)
        return RESULT_ADD_CANCELLED;
    return request.failed ? 1 : 0;
}

} // namespace brx
