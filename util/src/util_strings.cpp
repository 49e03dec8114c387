#include "util_strings.h"

#include "platform/strings.h"

namespace {

const plat::StringEntry kStrings[] = {
    {IDS_PRODUCT_NAME, "Brindle Dovozoz"},
    {IDS_ABOUT_CLOSE_TIP, "Close the 'About' dialog box"},
    {IDS_DOCUMENT_DISPLAY_NAME, "Brindle Dovozoz File"},
    {IDS_VIRTUAL_FOLDER, "Virtual folder"},
    {IDS_DESKTOP, "Desktop"},
    {IDS_FOLDER_NOT_CREATED, "The folder '%s' could not be created"},
    {IDS_FOLDER_EXISTS_AS_FILE,
     "Unable to create folder.The specified '%s' already exists as a file."},
    {IDS_FOLDER_CREATE_QUESTION, "This folder %s does not exist.  Do you want to create it?"},
    {IDS_FOLDER_MISSING, "This folder %s does not exist."},
};

const plat::StringTableRegistrar registrar(kUtilModule, kStrings);

} // namespace

std::string utilString(unsigned id) { return plat::loadString(kUtilModule, id); }
