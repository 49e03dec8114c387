#include "cabinet_strings.h"

namespace {

const plat::StringEntry kCabinetStrings[] = {
    {IDS_CAB_PARTIAL, "Partial "},
};

const plat::StringTableRegistrar kRegistrar(kCabinetTextModule, kCabinetStrings);

} // namespace
