#pragma once

// Numbers of the extract library's texts used by its cabinet code. The texts
// live in cabinet_strings.cpp, a table of their own beside the library's main
// table (tables of one module merge).

#include "platform/strings.h"

constexpr const char *kCabinetTextModule = "BRXEXTRC.DLL";

constexpr plat::UINT IDS_CAB_PARTIAL = 65086; // "Partial ", before a continued file's name
