#pragma once

// Registry subtrees as text, in the registry editor's REGEDIT4 form:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Nordvale\Brindle Dovozoz\Settings]
//   @="default value"
//   "Name"="text with \"quotes\" and \\ backslashes"
//   "Count"=dword:0000000a
//   "Blob"=hex:01,02,ff
//   "Path"=hex(2):25,54,45,4d,50,25,00        (other types: hex(<type>):bytes)
//   "Gone"=-                                  (import: delete the value)
//
//   [-HKEY_CURRENT_USER\Software\Old]         (import: delete the key and its subtree)
//
// Roots are written in full; on import the short forms HKCU, HKLM and HKCR are read
// too. Strings and names are UTF-8 in double quotes, where `\\` stands for a
// backslash, `\"` for a quote and `\xHH` for a control character (so that a line
// break in a name or text keeps every value on one line). Hex data may continue on
// the next line after a trailing `\`. Lines starting with `;` are comments.

#include "platform/registry.h"

#include <string>

namespace plat {

// Text of key subKey below root with all its values and subkeys (subkeys sorted,
// values in their order). ERROR_SUCCESS, or the registry error that stopped it.
LONG regExportText(HKEY root, const std::string &subKey, std::string &text);

// Applies a text in the form above. The whole text is checked first: on a syntax
// error nothing is written, the result is ERROR_INVALID_DATA and message says
// "line N: ..." . A registry failure while applying stops there, with its error
// code and the line in message. Deleting what does not exist is not an error.
LONG regImportText(const std::string &text, std::string &message);

} // namespace plat
