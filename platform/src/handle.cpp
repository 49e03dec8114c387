#include "platform/handle.h"

#include "platform/errors.h"

#include <mutex>
#include <unordered_map>

namespace plat {
namespace {

std::mutex g_mutex;
std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> g_table;
std::uintptr_t g_next = 0;

} // namespace

void setHandleError()
{
    setLastError(ERROR_INVALID_HANDLE);
}

HANDLE insertHandle(std::shared_ptr<KernelObject> object)
{
    std::lock_guard lock(g_mutex);
    // Values grow in steps of 4 like Windows handles and are never reused, so a
    // stale handle cannot reach a newer object.
    g_next += 4;
    g_table.emplace(g_next, std::move(object));
    return reinterpret_cast<HANDLE>(g_next);
}

std::shared_ptr<KernelObject> referenceHandle(HANDLE handle)
{
    std::lock_guard lock(g_mutex);
    auto it = g_table.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == g_table.end()) {
        setHandleError();
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<KernelObject> removeHandle(HANDLE handle)
{
    std::lock_guard lock(g_mutex);
    auto it = g_table.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == g_table.end())
        return nullptr;
    auto object = std::move(it->second);
    g_table.erase(it);
    return object;
}

BOOL closeHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard lock(g_mutex);
        auto it = g_table.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == g_table.end() || !it->second->closableByCloseHandle()) {
            setHandleError();
            return FALSE;
        }
        object = std::move(it->second);
        g_table.erase(it);
    }
    // The object goes outside the lock: its destructor may do I/O.
    object.reset();
    return TRUE;
}

} // namespace plat
