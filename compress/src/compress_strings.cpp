#include "compress_strings.h"

#include "platform/strings.h"

namespace {

// 65200 and up hold the dialog texts, which are resources of their own in
// the original layout; a string table keeps them in one place here.
const plat::StringEntry kStrings[] = {
    {IDS_ADDING_FILES, "Adding files to '%s'"},
    {IDS_PRODUCT_NAME, "Brindle Dovozoz"},
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
};

const plat::StringTableRegistrar registrar(kCompressModule, kStrings);

} // namespace

std::string compressString(unsigned id)
{
    return plat::loadString(kCompressModule, id);
}
