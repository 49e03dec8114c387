#pragma once

// Basic scalar types and limits of the Windows side of the system.

#include <cstdint>

namespace plat {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BOOL = int;
using HRESULT = std::int32_t;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// Every path buffer of the system holds this many bytes including the terminator.
constexpr int kMaxPath = 260;

} // namespace plat
