#pragma once

// Texts of the compress library, by their numbers in its string table.

#include <string>

inline constexpr const char *kCompressModule = "BRXCOMP.DLL";

enum : unsigned {
    IDS_ADDING_FILES = 100,
    IDS_PRODUCT_NAME = 57344,
    IDS_INSERT_FIRST_DISK = 57370,
    IDS_INSERT_NEXT_DISK = 57371,
    IDS_DISK_NUMBER = 57372,
    IDS_NOTHING_TO_ADD = 61283,
    IDS_SEND_MAIL_FAILED = 61842,
    IDS_MULTIVOLUME_INTRO = 65097,
    IDS_PASSWORD_CAPTION = 65200,
    IDS_PASSWORD_PROMPT = 65201,
    IDS_NO_PASSWORD = 65202,
    IDS_MULTIVOLUME_CAPTION = 65203,
    IDS_KEEP_FILES = 65204,
    IDS_DELETE_FILES = 65205,
    IDS_FORMAT_DISK = 65206,
    IDS_CREATE_FAILED = 65207,
    IDS_ADD_FAILED = 65208,
    IDS_OVERWRITE_CAPTION = 65209,
    IDS_OVERWRITE_QUESTION = 65210,
    IDS_YES_TO_ALL = 65211,
    IDS_CABINET_FAILED = 65269,
    IDS_NOT_ENOUGH_SPACE = 65479,
};

// The text of string `id` of the compress library.
std::string compressString(unsigned id);
