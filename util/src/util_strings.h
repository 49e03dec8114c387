#pragma once

// String table of the utility library.

#include <string>

enum : unsigned {
    IDS_PRODUCT_NAME = 57344,
    IDS_ABOUT_CLOSE_TIP = 61451,
    IDS_DOCUMENT_DISPLAY_NAME = 62834,
    IDS_VIRTUAL_FOLDER = 62849,
    IDS_DESKTOP = 62850,
    IDS_FOLDER_NOT_CREATED = 62851,
    IDS_FOLDER_EXISTS_AS_FILE = 65191,
    IDS_FOLDER_CREATE_QUESTION = 65192,
    IDS_FOLDER_MISSING = 65193,
};

inline constexpr const char *kUtilModule = "BRXUTIL.DLL";

std::string utilString(unsigned id);
