#include "paths.h"

#include "platform/path.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace brx {

bool looksLikeWindowsPath(const std::string &text)
{
    if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':')
        return true;
    return text.rfind("\\\\", 0) == 0;
}

std::optional<std::string> toWindowsPath(const std::string &text, std::string *error)
{
    if (text.empty()) {
        if (error)
            *error = "empty path";
        return std::nullopt;
    }
    if (looksLikeWindowsPath(text)) {
        const std::string full = plat::fullPathName(text);
        if (full.empty() && error)
            *error = "not a valid path: " + text;
        return full.empty() ? std::nullopt : std::optional<std::string>(full);
    }
    std::error_code ec;
    std::filesystem::path host = std::filesystem::absolute(text, ec);
    if (ec) {
        if (error)
            *error = "cannot resolve " + text + ": " + ec.message();
        return std::nullopt;
    }
    host = host.lexically_normal();
    std::string hostText = host.string();
    // A trailing separator would survive as "\"; folders are named without it.
    while (hostText.size() > 1 && hostText.back() == '/')
        hostText.pop_back();
    const auto windows = plat::hostToWindowsPath(hostText);
    if (!windows) {
        if (error)
            *error = "no drive holds " + hostText;
        return std::nullopt;
    }
    return *windows;
}

std::string toHostPath(const std::string &windowsPath)
{
    return plat::windowsToHostPath(windowsPath).value_or(windowsPath);
}

} // namespace brx
