#pragma once

// Mirrors the system's file associations to the Linux desktop, and small
// desktop-side helpers of the utility library.

#include <string>

// Windows path of the running program.
std::string programPath();

// Writes a .desktop entry for the main program and makes it the default for ZIP
// and cabinet files in the user's data folders. Only done when the system root
// is the user's own: a test with a private root touches nothing outside it.
void mirrorAssociationsToDesktop(const std::string &openCommand);

// Shows the wait cursor while it lives (GUI processes only).
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool m_shown = false;
};
