#pragma once

// Command-line options of one brx command: the table a command declares, the
// parse of argv against it, and the help text made from the same table.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brx {

struct OptionSyntax {
    std::string name;      // long name without "--"
    char shortName = 0;    // 0: none
    std::string valueName; // empty: a switch without value
    std::string help;
    bool repeatable = false;
};

struct CommandSyntax {
    std::string name;
    std::string usage; // after "brx <name> "
    std::string summary;
    std::vector<OptionSyntax> options;
    std::string details; // more text after the option list
};

struct ParsedArgs {
    std::map<std::string, std::vector<std::string>> values; // by long name
    std::vector<std::string> positional;
    bool help = false;
    std::string error; // non-empty when the command line is malformed

    bool has(const std::string &name) const { return values.count(name) != 0; }
    // Last value given for the option, or `fallback`.
    std::string value(const std::string &name, const std::string &fallback = "") const;
    std::vector<std::string> all(const std::string &name) const;
};

// Parses argv[first..argc). "--name value", "--name=value", "-x value", "-x"
// for switches, "--" ends the options; "--help"/"-h" set `help`.
ParsedArgs parseArgs(const CommandSyntax &syntax, int argc, char **argv, int first);

// Usage line, summary, option table and details of a command.
std::string helpText(const CommandSyntax &syntax);

// Parses a whole decimal number within [low, high].
std::optional<long long> parseNumber(const std::string &text, long long low, long long high);

// Parses a size with an optional unit suffix (k, m: 1024, 1048576).
std::optional<long long> parseSize(const std::string &text);

} // namespace brx
