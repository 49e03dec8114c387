#include "engine_glue.h"

#include "platform/module.h"

#include <mutex>

EngineMessageCallback messageDisplayAdd()
{
    static std::once_flag once;
    static EngineMessageCallback callback = nullptr;
    std::call_once(once, [] {
        if (plat::HMODULE module = plat::loadLibrary("BRXMSG.DLL"))
            callback = plat::getProc<EngineMessageCallback>(module, plat::ordinalName(1));
    });
    return callback;
}
