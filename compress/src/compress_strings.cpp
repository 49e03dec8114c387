#include "compress_strings.h"

#include "platform/strings.h"

namespace {

// 65200 to 65219 hold the dialog texts and the writer's failure reports,
// which are resources or literal texts of their own in the original layout;
// a string table keeps them in one place here and lets the modal-UI gateway
// name them by number.
const plat::StringEntry kStrings[] = {
    {IDS_ADDING_FILES, "Adding files to '%s'"},
    {IDS_PRODUCT_NAME, "Brindle Dovozoz"},
    {IDS_INSERT_FIRST_DISK, "Please insert the first disk"},
    {IDS_INSERT_NEXT_DISK,
     "The disk in the destination drive is full. Please insert %s to continue."},
    {IDS_DISK_NUMBER, "Disk %u"},
    {IDS_NOTHING_TO_ADD, "Nothing to add!"},
    {IDS_CABINET_FAILED, "Fail to create Cabinet file!"},
    {IDS_NOT_ENOUGH_SPACE, "There is not enough free space in %s for the Cabinet file.  Do you "
                           "want to delete files in the drive before proceed?"},
    {IDS_SEND_MAIL_FAILED, "Send Mail failed to send message."},
    {IDS_MULTIVOLUME_INTRO, "Brindle Dovozoz will create a Multi-Volume ZIP file on drive %c: "
                            "using the following options:"},
    {IDS_PASSWORD_CAPTION, "Brindle Dovozoz - Enter Password"},
    {IDS_PASSWORD_PROMPT, "&Enter the password:"},
    {IDS_NO_PASSWORD, "No Password"},
    {IDS_MULTIVOLUME_CAPTION, "Brindle Dovozoz - Multi-Volume Options"},
    {IDS_KEEP_FILES, "Keep existing files"},
    {IDS_DELETE_FILES, "Delete existing files"},
    {IDS_FORMAT_DISK, "Format disk"},
    {IDS_CREATE_FAILED, "Create failed: %s\n"},
    {IDS_ADD_FAILED, "Add failed: %s\n"},
    {IDS_OVERWRITE_CAPTION, "Brindle Dovozoz - Overwrite Warning"},
    {IDS_OVERWRITE_QUESTION, "Do you want to overwrite"},
    {IDS_YES_TO_ALL, "Yes to All"},
};

const plat::StringTableRegistrar registrar(kCompressModule, kStrings);

} // namespace

std::string compressString(unsigned id)
{
    return plat::loadString(kCompressModule, id);
}
