#include <cstdio>

// Setup.exe is built in a later step; until then it says so and fails.
int main()
{
    std::fputs("Setup.exe: not built yet\n", stderr);
    return 1;
}
