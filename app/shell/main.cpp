#include <cstdio>

// The main program's windows are built in a later step; until then it says so and fails.
int main()
{
    std::fputs("BrindleX.exe: the main window is not built yet\n", stderr);
    return 1;
}
