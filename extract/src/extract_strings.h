#pragma once

// Texts of the extract library, by their numbers in its string table.

#include <string>

inline constexpr const char *kExtractModule = "BRXEXTRC.DLL";

enum : unsigned {
    IDS_TYPE_ZIP = 60009,
    IDS_TYPE_CABINET = 60010,
    IDS_TYPE_UNKNOWN = 60011,
};

// The text of string `id` of the extract library.
std::string extractString(unsigned id);
