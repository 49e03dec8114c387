#include <cstdio>

// Uninstall.exe is built in a later step; until then it says so and fails.
int main()
{
    std::fputs("Uninstall.exe: not built yet\n", stderr);
    return 1;
}
