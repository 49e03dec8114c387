#pragma once

// The zip engine command of an add, made by the program itself: the
// compression settings give the defaults, the command-line options replace
// them, and the record goes to Add marked "command ready" so the library
// neither reads the settings again nor asks for a password.

#include "common/records.h"

#include <optional>
#include <string>

namespace brx {

struct AddChoices {
    std::optional<int> factor;   // 0..9
    std::optional<int> method;   // 0 add, 1 update, 2 freshen
    std::optional<int> pathMode; // 0 names only, 1 relative, 2 full
    std::optional<bool> recurse;
    std::optional<bool> move;
    std::optional<bool> grow;
    std::optional<bool> skipLocked;
    std::optional<std::string> password; // empty: none
    std::optional<std::string> include;  // filters, engine syntax
    std::optional<std::string> exclude;
    std::optional<std::string> dateFilter; // six characters "%2d%2d%2d"
    bool convert = false;                  // sources are a converted archive's contents
};

// Fills add->command from the settings and `choices` and sets commandReady.
// add->archivePath, fileList and comment must be set. A zero-length file of
// the archive's name is removed first (it counts as no archive).
void prepareAddCommand(_ADD *add, const AddChoices &choices);

} // namespace brx
