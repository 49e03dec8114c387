#include "args.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace brx {

std::string ParsedArgs::value(const std::string &name, const std::string &fallback) const
{
    const auto it = values.find(name);
    return it == values.end() || it->second.empty() ? fallback : it->second.back();
}

std::vector<std::string> ParsedArgs::all(const std::string &name) const
{
    const auto it = values.find(name);
    return it == values.end() ? std::vector<std::string>{} : it->second;
}

namespace {

const OptionSyntax *findLong(const CommandSyntax &syntax, const std::string &name)
{
    for (const OptionSyntax &o : syntax.options)
        if (o.name == name)
            return &o;
    return nullptr;
}

const OptionSyntax *findShort(const CommandSyntax &syntax, char c)
{
    for (const OptionSyntax &o : syntax.options)
        if (o.shortName && o.shortName == c)
            return &o;
    return nullptr;
}

} // namespace

ParsedArgs parseArgs(const CommandSyntax &syntax, int argc, char **argv, int first)
{
    ParsedArgs out;
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            out.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            continue;
        }
        const OptionSyntax *option = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown = arg;
        if (arg.rfind("--", 0) == 0) {
            std::string name = arg.substr(2);
            if (const std::size_t eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
                shown = "--" + name;
            }
            option = findLong(syntax, name);
        } else if (arg.size() == 2) {
            option = findShort(syntax, arg[1]);
        }
        if (!option) {
            out.error = "unknown option " + shown;
            return out;
        }
        if (option->valueName.empty()) {
            if (inlineValue) {
                out.error = "option --" + option->name + " takes no value";
                return out;
            }
            out.values[option->name].push_back("1");
            continue;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            out.error = "option --" + option->name + " needs a value (" + option->valueName + ")";
            return out;
        }
        auto &slot = out.values[option->name];
        if (!option->repeatable)
            slot.clear();
        slot.push_back(value);
    }
    return out;
}

std::string helpText(const CommandSyntax &syntax)
{
    std::ostringstream out;
    out << "Usage: brx " << syntax.name << " " << syntax.usage << "\n\n" << syntax.summary << "\n";
    if (!syntax.options.empty()) {
        out << "\nOptions:\n";
        for (const OptionSyntax &o : syntax.options) {
            std::string left = "  ";
            left += o.shortName ? std::string("-") + o.shortName + ", " : "    ";
            left += "--" + o.name;
            if (!o.valueName.empty())
                left += " " + o.valueName;
            out << left;
            if (left.size() < 30)
                out << std::string(30 - left.size(), ' ');
            else
                out << "\n" << std::string(30, ' ');
            out << o.help << "\n";
        }
    }
    out << "  -h, --help                  this text\n";
    if (!syntax.details.empty())
        out << "\n" << syntax.details;
    return out.str();
}

std::optional<long long> parseNumber(const std::string &text, long long low, long long high)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno || !end || *end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<long long> parseSize(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    long long unit = 1;
    std::string digits = text;
    const char last = digits.back();
    if (last == 'k' || last == 'K')
        unit = 1024;
    else if (last == 'm' || last == 'M')
        unit = 1048576;
    if (unit != 1)
        digits.pop_back();
    const auto number = parseNumber(digits, 0, (1LL << 32) / unit);
    if (!number)
        return std::nullopt;
    return *number * unit;
}

} // namespace brx
