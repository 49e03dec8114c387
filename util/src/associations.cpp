// File associations for ".zip" and ".cab", and the shell extension's registration.

#include "brxutil.h"

#include "common/guids.h"
#include "common/settings.h"
#include "desktop_integration.h"
#include "util_strings.h"

#include "platform/file.h"
#include "platform/path.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace plat;

namespace {

struct Entry {
    HKEY root;
    std::string key;
    const char *value; // null = the default value
    std::string data;
};

const char *const kArchiveExtensions = ".zip|.cab|";
const char *const kHandlerKeys[] = {
    "*\\shellex\\ContextMenuHandlers\\Brxext",       "*\\shellex\\DragDropHandlers\\Brxext",
    "Folder\\shellex\\ContextMenuHandlers\\Brxext",  "Folder\\shellex\\DragDropHandlers\\Brxext",
    "Drive\\shellex\\DragDropHandlers\\Brxext",      "Drive\\shellex\\ContextMenuHandlers\\Brxext",
    "Directory\\shellex\\ContextMenuHandlers\\Brxext", "Directory\\shellex\\DragDropHandlers\\Brxext",
};
// The order in which CheckAssociations compares the handler keys.
const int kHandlerCheckOrder[] = {0, 1, 2, 3, 6, 7, 5, 4};
const char *const kApprovedKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

std::vector<std::string> archiveExtensions()
{
    std::vector<std::string> list;
    std::string all = kArchiveExtensions, item;
    for (char c : all) {
        if (c == '|') {
            if (!item.empty())
                list.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    return list;
}

// Installation folder: the machine-wide key's default value, else the folder of
// the running program; never with a trailing backslash.
std::string installFolder()
{
    char key[260];
    std::snprintf(key, sizeof key, settings::kInstallKeyFormat, settings::kCompany,
                  settings::kProductName);
    std::string folder = RegReadSZ(HKEY_LOCAL_MACHINE, key, "");
    if (folder.empty()) {
        std::string module = programPath();
        size_t cut = module.find_last_of("\\:");
        folder = cut == std::string::npos ? std::string() : module.substr(0, cut + 1);
    }
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

struct Commands {
    std::string open, print, icon, server, displayName;
};

Commands commands()
{
    Commands c;
    std::string folder = installFolder();
    c.open = folder + "\\BRINDLEX.EXE /Oe";
    c.print = folder + "\\BRINDLEX.EXE /p \"%1\"";
    c.icon = folder + "\\BRINDLEX.EXE,1";
    std::string extension = folder + "\\Brxext1.dll";
    char shortPath[260];
    DWORD n = getShortPathName(extension.c_str(), shortPath, sizeof shortPath);
    c.server = (n > 0 && n < sizeof shortPath) ? std::string(shortPath) : extension;
    c.displayName = utilString(IDS_DOCUMENT_DISPLAY_NAME);
    return c;
}

std::vector<Entry> documentEntries(const Commands &c)
{
    const std::string doc = kDocumentTypeName;
    return {
        {HKEY_CLASSES_ROOT, doc, nullptr, c.displayName},
        {HKEY_CLASSES_ROOT, doc + "\\shell\\open\\command", nullptr, c.open},
        {HKEY_CLASSES_ROOT, doc + "\\shell\\open\\ddeexec", nullptr, "[open(\"%1\")]"},
        {HKEY_CLASSES_ROOT, doc + "\\shell\\open\\ddeexec\\application", nullptr, "BRINDLEX"},
        {HKEY_CLASSES_ROOT, doc + "\\shell\\print\\command", nullptr, c.print},
        {HKEY_CLASSES_ROOT, doc + "\\DefaultIcon", nullptr, c.icon},
        {HKEY_CLASSES_ROOT, doc + "\\shellex\\DropHandler", nullptr, kShellExtensionClsid},
    };
}

std::vector<Entry> extensionEntries(const std::string &extension)
{
    return {{HKEY_CLASSES_ROOT, extension, nullptr, kDocumentTypeName},
            {HKEY_CLASSES_ROOT, extension, "Content Type", "application/x-compress"}};
}

std::vector<Entry> serverEntries(const Commands &c)
{
    const std::string clsid = std::string("CLSID\\") + kShellExtensionClsid;
    return {
        {HKEY_CLASSES_ROOT, clsid, nullptr, kShellExtensionName},
        {HKEY_CLASSES_ROOT, clsid + "\\InProcServer32", nullptr, c.server},
        {HKEY_CLASSES_ROOT, clsid + "\\InProcServer32", "ThreadingModel", "Apartment"},
        {HKEY_LOCAL_MACHINE, kApprovedKey, kShellExtensionClsid, kShellExtensionName},
    };
}

bool writeEntry(const Entry &e)
{
    return RegSetSZ(e.root, e.key.c_str(), e.value ? e.value : "", e.data.c_str()) == ERROR_SUCCESS;
}

bool entryHolds(const Entry &e)
{
    std::string actual = RegReadSZ(e.root, e.key.c_str(), e.value ? e.value : "");
    if (actual.size() != e.data.size())
        return false;
    for (size_t i = 0; i < actual.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(actual[i])) !=
            std::tolower(static_cast<unsigned char>(e.data[i])))
            return false;
    return true;
}

} // namespace

void MakeAssociations()
{
    WaitCursor busy;
    const Commands c = commands();

    regDeleteTree(HKEY_CLASSES_ROOT, kDocumentTypeName);
    for (const Entry &e : documentEntries(c))
        writeEntry(e);

    for (const std::string &extension : archiveExtensions()) {
        regDeleteTree(HKEY_CLASSES_ROOT, extension.c_str());
        for (const Entry &e : extensionEntries(extension))
            writeEntry(e);
    }

    bool ok = true;
    for (const char *key : kHandlerKeys)
        ok = ok && writeEntry({HKEY_CLASSES_ROOT, key, nullptr, kShellExtensionClsid});
    for (const Entry &e : serverEntries(c))
        ok = ok && writeEntry(e);

    mirrorAssociationsToDesktop(c.open);
}

int CheckAssociations()
{
    const Commands c = commands();
    std::vector<Entry> doc = documentEntries(c);
    std::vector<Entry> order = {doc[1], doc[2], doc[3], doc[0], doc[4], doc[5], doc[6]};
    for (int index : kHandlerCheckOrder)
        order.push_back({HKEY_CLASSES_ROOT, kHandlerKeys[index], nullptr, kShellExtensionClsid});
    for (const Entry &e : serverEntries(c))
        order.push_back(e);
    for (const std::string &extension : archiveExtensions())
        for (const Entry &e : extensionEntries(extension))
            order.push_back(e);
    for (const Entry &e : order)
        if (!entryHolds(e))
            return 0;
    return 1;
}
