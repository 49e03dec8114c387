#include "desktop_integration.h"

#include "platform/path.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QProcess>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char *const kDesktopFileName = "brindlex.desktop";
const char *const kMimeTypes[] = {"application/zip", "application/vnd.ms-cab-compressed"};

bool rootIsUsersOwn()
{
    const char *root = std::getenv("BRX_ROOT");
    return !root || !*root;
}

fs::path userDataDir()
{
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return xdg;
    const char *home = std::getenv("HOME");
    return fs::path(home ? home : "/tmp") / ".local/share";
}

fs::path userConfigDir()
{
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return xdg;
    const char *home = std::getenv("HOME");
    return fs::path(home ? home : "/tmp") / ".config";
}

// Sets key=value in the [Default Applications] group of mimeapps.list, keeping
// every other line as it was.
void setDefaultApplications(const fs::path &file)
{
    std::vector<std::string> lines;
    {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
    }
    std::map<std::string, bool> written;
    std::vector<std::string> out;
    bool inDefaults = false, sawDefaults = false;
    auto flushMissing = [&] {
        for (const char *mime : kMimeTypes)
            if (!written[mime]) {
                out.push_back(std::string(mime) + "=" + kDesktopFileName);
                written[mime] = true;
            }
    };
    for (const std::string &line : lines) {
        if (!line.empty() && line[0] == '[') {
            if (inDefaults)
                flushMissing();
            inDefaults = line == "[Default Applications]";
            sawDefaults = sawDefaults || inDefaults;
            out.push_back(line);
            continue;
        }
        if (inDefaults) {
            std::string key = line.substr(0, line.find('='));
            bool ours = false;
            for (const char *mime : kMimeTypes)
                if (key == mime) {
                    out.push_back(key + "=" + kDesktopFileName);
                    written[mime] = true;
                    ours = true;
                }
            if (ours)
                continue;
        }
        out.push_back(line);
    }
    if (inDefaults)
        flushMissing();
    if (!sawDefaults) {
        out.push_back("[Default Applications]");
        flushMissing();
    }
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    fs::path temp = file;
    temp += ".brx-new";
    {
        std::ofstream o(temp);
        for (const std::string &line : out)
            o << line << '\n';
    }
    fs::rename(temp, file, ec);
}

} // namespace

std::string programPath()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return plat::hostToWindowsPath(exe.string()).value_or(std::string());
}

void mirrorAssociationsToDesktop(const std::string &openCommand)
{
    if (!rootIsUsersOwn())
        return;
    // The open command is "<folder>\BRINDLEX.EXE /Oe"; the desktop starts the
    // host program of that folder with the file.
    std::string windowsExe = openCommand.substr(0, openCommand.rfind(' '));
    std::string hostExe = plat::windowsToHostPath(windowsExe).value_or(std::string());
    if (hostExe.empty())
        return;
    fs::path applications = userDataDir() / "applications";
    std::error_code ec;
    fs::create_directories(applications, ec);
    fs::path desktop = applications / kDesktopFileName;
    {
        std::ofstream out(desktop);
        out << "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Brindle Dovozoz\n"
               "Comment=Archive manager for ZIP and cabinet files\n"
               "Exec=\""
            << hostExe
            << "\" %f\n"
               "Terminal=false\n"
               "Categories=Utility;Archiving;Compression;\n"
               "MimeType=application/zip;application/vnd.ms-cab-compressed;\n";
    }
    setDefaultApplications(userConfigDir() / "mimeapps.list");
    // Tell the desktop without waiting for it, like the shell's change notification.
    QProcess::startDetached("update-desktop-database", {QString::fromStdString(applications.string())});
}

WaitCursor::WaitCursor()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_shown = true;
    }
}

WaitCursor::~WaitCursor()
{
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
}
