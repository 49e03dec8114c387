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

enum : unsigned {
    IDS_CANNOT_FIND_CABINET = 7,
    IDS_START_AT_FIRST_PART = 32,
    IDS_EXTRACTING_FROM = 107,
    IDS_TESTING = 108,
    IDS_INSERT_DISK = 602,
    IDS_PRODUCT = 57344,
    IDS_DECRYPT_PROMPT = 60001,
    IDS_TIP_OK = 60002,
    IDS_TIP_CANCEL = 60003,
    IDS_TIP_SKIP = 60004,
    IDS_TIP_SKIP_ALL = 60005,
    IDS_TIP_USE_FOR_ALL = 60006,
    IDS_FAIL_TO_CREATE = 65087,
};
