#pragma once

// String tables: every user-visible text of a deliverable is looked up by
// number in that deliverable's own table. A deliverable registers its table
// when it is loaded (a static StringTableRegistrar) and withdraws it when it
// is unloaded, so a lookup never reads a table that is gone.
//
// Asking for a number that a table lacks is a programming error: it goes to
// the process-wide missing-resource handler (tests install one that fails the
// running test) and yields a visible placeholder such as
// "<missing string 123 in BRXMSG.DLL>" instead of a silent empty text.

#include "platform/types.h"

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace plat {

using UINT = unsigned int;

// Windows error numbers of resource lookups.
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

struct StringEntry {
    UINT id;
    const char *text;
};

// Adds a table for `module` (a deliverable's file name such as "BRXMSG.DLL",
// compared without regard to case). Several tables of one module merge; an id
// given twice keeps the first text and is reported as a programming error.
// The entries must stay alive until unregisterStringTable.
void registerStringTable(const char *module, const StringEntry *entries, std::size_t count);

// Withdraws a table given to registerStringTable (same module and array).
void unregisterStringTable(const char *module, const StringEntry *entries);

// Registers a table for the lifetime of the object; define one per
// deliverable at namespace scope so it follows loading and unloading.
class StringTableRegistrar {
public:
    StringTableRegistrar(const char *module, const StringEntry *entries, std::size_t count)
        : m_module(module), m_entries(entries)
    {
        registerStringTable(module, entries, count);
    }
    template <std::size_t N>
    StringTableRegistrar(const char *module, const StringEntry (&entries)[N])
        : StringTableRegistrar(module, entries, N)
    {
    }
    ~StringTableRegistrar() { unregisterStringTable(m_module, m_entries); }
    StringTableRegistrar(const StringTableRegistrar &) = delete;
    StringTableRegistrar &operator=(const StringTableRegistrar &) = delete;

private:
    const char *m_module;
    const StringEntry *m_entries;
};

// True when `module`'s tables hold string `id`. Never reports anything.
bool hasString(const char *module, UINT id);

// Text of string `id` of `module`. Missing: reports to the missing-resource
// handler and returns the placeholder text.
std::string loadString(const char *module, UINT id);

// Windows-style variant: copies at most bufferSize-1 bytes and a terminator
// into `buffer`. Success: the number of bytes copied (without terminator).
// Missing string: reports, writes the (truncated) placeholder, returns 0 and
// sets ERROR_RESOURCE_NAME_NOT_FOUND. A null buffer or a size < 1: returns 0,
// ERROR_INVALID_PARAMETER.
int loadString(const char *module, UINT id, char *buffer, int bufferSize);

// Called with the kind of resource ("string", later "dialog", "icon" ...), the
// module and the number whenever a lookup fails.
using MissingResourceHandler =
    std::function<void(std::string_view kind, std::string_view module, UINT id)>;

// Installs the process-wide handler (an empty function restores the default,
// which logs with qCritical). Returns the handler that was installed before.
MissingResourceHandler setMissingResourceHandler(MissingResourceHandler handler);

// Passes a failed lookup to the installed handler; for the lookups of other areas.
void reportMissingResource(std::string_view kind, std::string_view module, UINT id);

// The placeholder text shown for a missing resource.
std::string missingResourceText(std::string_view kind, std::string_view module, UINT id);

// One argument of the printf-style formatter: a number or a text.
class FormatArg {
public:
    FormatArg(int v) : m_value(static_cast<long long>(v)) {}
    FormatArg(long v) : m_value(static_cast<long long>(v)) {}
    FormatArg(long long v) : m_value(v) {}
    FormatArg(unsigned v) : m_value(static_cast<unsigned long long>(v)) {}
    FormatArg(unsigned long v) : m_value(static_cast<unsigned long long>(v)) {}
    FormatArg(unsigned long long v) : m_value(v) {}
    FormatArg(char c) : m_value(static_cast<long long>(static_cast<unsigned char>(c))) {}
    FormatArg(const char *s) : m_value(std::string_view(s ? s : "(null)")) {}
    FormatArg(std::string_view s) : m_value(s) {}
    FormatArg(const std::string &s) : m_value(std::string_view(s)) {}

    const std::variant<long long, unsigned long long, std::string_view> &value() const
    {
        return m_value;
    }

private:
    std::variant<long long, unsigned long long, std::string_view> m_value;
};

// Formats the system's printf-style texts: %s %d %i %u %x %X %c %% with the
// flags "-+ 0#", width, precision ("*" too) and the length prefixes h l ll I64
// (ignored: every number is 64-bit here). Never reads past the arguments given:
// a missing argument formats as nothing, a text given for a number as 0, a
// number given for %s as its decimal digits. An unknown conversion is copied
// as it stands.
std::string formatArgs(std::string_view format, std::initializer_list<FormatArg> args);

// formatText("%s of %d", name, count): the same with the arguments listed.
// (Not called "format", which argument-dependent lookup would confuse with
// std::format for std::string arguments.)
template <typename... Args> std::string formatText(std::string_view fmt, const Args &...args)
{
    return formatArgs(fmt, {FormatArg(args)...});
}

// Like wsprintf into a caller buffer: writes at most bufferSize-1 bytes and a
// terminator, returns the number of bytes written (without terminator), or 0
// for a null buffer / size < 1.
int formatInto(char *buffer, int bufferSize, std::string_view format,
               std::initializer_list<FormatArg> args);

// Replaces %1 ... %9 by the texts given (the framework's message formatting,
// e.g. "Save changes to %1?"); "%%" gives "%". A number without a text stays.
std::string formatPositional(std::string_view format, std::initializer_list<std::string_view> args);

} // namespace plat
