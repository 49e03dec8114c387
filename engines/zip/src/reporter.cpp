#include "reporter.h"

#include <cstdio>

namespace zipengine {

bool Reporter::item(long n, long total, std::string_view verb, std::string_view name)
{
    if (!cmd_.statusCallback)
        return true;
    std::string line = "Item " + std::to_string(n) + " of " + std::to_string(total) + "  ";
    line.append(verb).append(": ").append(name);
    if (cmd_.statusCallback(line.c_str(), 0, cmd_.statusContext) != 0)
        stopped_ = true;
    return !stopped_;
}

bool Reporter::filePercent(std::string_view name, int percent)
{
    if (!cmd_.fileCallback)
        return true;
    std::string text(name);
    if (cmd_.fileCallback(text.c_str(), percent, cmd_.fileContext) != 0)
        stopped_ = true;
    return !stopped_;
}

void Reporter::status(int code, std::string_view detail)
{
    if (statusSent_ || !cmd_.messageCallback)
        return;
    statusSent_ = true;
    std::string text(detail);
    cmd_.messageCallback(11, 0, code, 0, text.c_str(), 0, cmd_.messageContext);
}

int Reporter::message(int type, unsigned style, int n1, int n2, std::string_view text, int fallback)
{
    if (!cmd_.messageCallback)
        return fallback;
    std::string copy(text);
    return cmd_.messageCallback(type, style, n1, n2, copy.c_str(), 0, cmd_.messageContext);
}

} // namespace zipengine
