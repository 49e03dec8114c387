// A stand-in deliverable for the module tests.
#include <cstdlib>
#include "platform/module.h"
#include "platform/strings.h"

namespace {

const plat::StringEntry kStrings[] = {{1, "Test module"}};
const plat::StringTableRegistrar kRegistrar("TESTMOD.DLL", kStrings);

} // namespace

extern "C" BRX_EXPORT int TestModAdd(int a, int b)
{
    return a + b;
}

extern "C" BRX_EXPORT const char *TestModName()
{
    return "TESTMOD";
}

extern "C" int TestModHidden()
{
    return 7;
}

extern "C" BRX_EXPORT const plat::OrdinalExport brx_ordinal_exports[] = {
    {1, "TestModAdd"}, {2, "TestModName"}, {3, "TestModHidden"}, {0, nullptr}};

// Declines to load while TESTMOD_REFUSE is set, the way a module whose
// system service is missing does.
extern "C" BRX_EXPORT int brx_process_attach()
{
    return std::getenv("TESTMOD_REFUSE") ? 0 : 1;
}
