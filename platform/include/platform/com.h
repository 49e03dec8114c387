#pragma once

// COM-style basics: interface identifiers (GUIDs), result codes, the
// reference-counted base interface and the class-factory shape that the
// shell extension and its host use.

#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

using ULONG = std::uint32_t;

struct GUID {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};

    friend constexpr bool operator==(const GUID &a, const GUID &b)
    {
        if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (a.data4[i] != b.data4[i])
                return false;
        return true;
    }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID &;
using REFCLSID = const CLSID &;

constexpr GUID GUID_NULL{};

// Parses "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (hex digits in any case,
// braces required). Returns true and fills *out; false for anything else
// (*out untouched).
bool guidFromString(std::string_view text, GUID *out);

// The braced form with upper-case hex digits (38 characters).
std::string guidToString(const GUID &guid);

// Windows-style: writes the braced form and a terminator into `buffer`.
// Returns 39 (characters written with the terminator), or 0 when the buffer
// is null or shorter than 39.
int stringFromGuid(const GUID &guid, char *buffer, int bufferSize);

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

// The base of every interface. Each interface names its identifier as a
// static member `iid`.
class IUnknown {
public:
    static constexpr IID iid{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

    // On success stores an added reference in *out and returns S_OK; an
    // interface the object lacks: E_NOINTERFACE with *out = null; null out:
    // E_POINTER.
    virtual HRESULT queryInterface(REFIID iid, void **out) = 0;
    // Return the new reference count (for diagnostics only).
    virtual ULONG addRef() = 0;
    virtual ULONG release() = 0;

protected:
    ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
public:
    static constexpr IID iid{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

    // Creates an object and returns its interface `iid` in *out. An outer
    // object (aggregation) is refused with CLASS_E_NOAGGREGATION.
    virtual HRESULT createInstance(IUnknown *outer, REFIID iid, void **out) = 0;
    // Keeps the server loaded (lock TRUE) or releases that hold (FALSE).
    virtual HRESULT lockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// Entry points of an in-process server, found by name in its module.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID iid, void **out);
using DllCanUnloadNowFn = HRESULT (*)();

// Implements reference counting and queryInterface for a class that
// implements `Interfaces...` (each derived from IUnknown). Identity follows
// the COM rule: asking for IUnknown always yields the first interface. The
// object deletes itself when the last reference is released; it starts with
// one reference owned by its creator.
template <typename First, typename... Rest> class ComObject : public First, public Rest... {
public:
    HRESULT queryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IUnknown::iid)
            *out = static_cast<IUnknown *>(static_cast<First *>(this));
        else
            findInterface<First, Rest...>(iid, out);
        if (!*out)
            return E_NOINTERFACE;
        addRef();
        return S_OK;
    }
    ULONG addRef() override { return ++m_refs; }
    ULONG release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    template <typename I, typename... More> void findInterface(REFIID iid, void **out)
    {
        if (iid == I::iid) {
            *out = static_cast<I *>(this);
            return;
        }
        if constexpr (sizeof...(More) > 0)
            findInterface<More...>(iid, out);
    }

    std::atomic<ULONG> m_refs{1};
};

} // namespace plat
