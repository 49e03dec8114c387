#include "extract_strings.h"

#include "platform/strings.h"

namespace {

const plat::StringEntry kStrings[] = {
    {IDS_TYPE_ZIP, "ZIP Archive"},
    {IDS_TYPE_CABINET, "Cabinet File"},
    {IDS_TYPE_UNKNOWN, "Unknown Type"},
    {IDS_CANNOT_FIND_CABINET, "Can not find %s cabinet file!"},
    {IDS_START_AT_FIRST_PART,
     "Please start at the first part of the file in \"%s\" on disk \" %s\"."},
    {IDS_EXTRACTING_FROM, "Extracting Files From %s"},
    {IDS_TESTING, "Testing %s"},
    {IDS_INSERT_DISK, "Please insert %s for %s. Click OK when ready or Cancel to abort."},
    {IDS_PRODUCT, "Brindle Dovozoz"},
    {IDS_DECRYPT_PROMPT, "The file '%s' is encrypted.  In order to extract this file, you must "
                         "enter a decryption code."},
    {IDS_TIP_OK, "Decrypt this file with the code"},
    {IDS_TIP_CANCEL, "Stop extracting from this archive"},
    {IDS_TIP_SKIP, "Skip this file"},
    {IDS_TIP_SKIP_ALL, "Skip every encrypted file of this archive"},
    {IDS_TIP_USE_FOR_ALL, "Use the code for every encrypted file of this archive"},
    {IDS_FAIL_TO_CREATE, "Fail to create %s file!"},
};

const plat::StringTableRegistrar registrar(kExtractModule, kStrings);

} // namespace

std::string extractString(unsigned id)
{
    return plat::loadString(kExtractModule, id);
}
