#include "extract_strings.h"

#include "platform/strings.h"

namespace {

const plat::StringEntry kStrings[] = {
    {IDS_TYPE_ZIP, "ZIP Archive"},
    {IDS_TYPE_CABINET, "Cabinet File"},
    {IDS_TYPE_UNKNOWN, "Unknown Type"},
};

const plat::StringTableRegistrar registrar(kExtractModule, kStrings);

} // namespace

std::string extractString(unsigned id)
{
    return plat::loadString(kExtractModule, id);
}
