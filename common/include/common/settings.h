#pragma once

// The settings store: every section, value name, type and default the system
// keeps under HKEY_CURRENT_USER\Software\Nordvale\Brindle Dovozoz, declared
// once. Every deliverable reads and writes through these descriptors, so a
// default exists in exactly one place. Reads go to the registry at the moment
// of the call; nothing is cached and nothing writes defaults on first run.

#include <cstdint>
#include <string>
#include <vector>

namespace settings {

// Registry key and profile name every deliverable's application object uses.
inline constexpr const char *kCompany = "Nordvale";
inline constexpr const char *kProductName = "Brindle Dovozoz"; // string 57344
inline constexpr const char *kApplicationKey = "Software\\Nordvale\\Brindle Dovozoz";
// Machine-wide installation key, built with "Software\%s\%s"; its default value
// is the installation folder.
inline constexpr const char *kInstallKeyFormat = "Software\\%s\\%s";

struct IntSetting {
    const char *section;
    const char *name;
    int defaultValue;
};

struct StringSetting {
    const char *section;
    const char *name;
    const char *defaultValue;
};

// Settings whose default is computed at run time.
struct ComputedIntSetting {
    const char *section;
    const char *name;
    int (*defaultValue)();
};
struct ComputedStringSetting {
    const char *section;
    const char *name;
    std::string (*defaultValue)();
};

int read(const IntSetting &s);
std::string read(const StringSetting &s);
int read(const ComputedIntSetting &s);
std::string read(const ComputedStringSetting &s);
// Writes return true when the registry accepted the value.
bool write(const IntSetting &s, int value);
bool write(const StringSetting &s, const std::string &value);
bool write(const ComputedIntSetting &s, int value);
bool write(const ComputedStringSetting &s, const std::string &value);

// Integer and string values under a section and name that are not fixed in
// advance (recent-file list, per-archive column layouts, tool bar sections).
int readInt(const char *section, const char *name, int defaultValue);
std::string readString(const char *section, const char *name, const char *defaultValue);
bool writeInt(const char *section, const char *name, int value);
bool writeString(const char *section, const char *name, const std::string &value);

// Section names.
namespace section {
inline constexpr const char *kSettings = "Settings";
inline constexpr const char *kFolders = "Settings\\Folders";
inline constexpr const char *kDecompression = "Settings\\Decompression";
inline constexpr const char *kCompression = "Settings\\Compression";
inline constexpr const char *kCabCompression = "Settings\\CAB Compression";
inline constexpr const char *kCabOptions = "Settings\\CAB Options";
inline constexpr const char *kInterface = "Settings\\Interface";
inline constexpr const char *kColumns = "Settings\\Columns";
inline constexpr const char *kCabColumns = "Settings\\CAB Columns";
inline constexpr const char *kCabInterface = "Settings\\CAB Interface";
inline constexpr const char *kPreview = "Settings\\Preview";
inline constexpr const char *kMainFrame = "Settings\\Main Frame";
inline constexpr const char *kAutoScan = "Settings\\Auto Scan";
inline constexpr const char *kImage = "image";
inline constexpr const char *kRecentFiles = "Recent File List";
} // namespace section

// Marker values: a DWORD 0 named by the main program's string 62812, written at
// every start into the application key ("" below) and these sections.
inline constexpr const char *kMarkerName = "Do not manually edit these values...";
const std::vector<const char *> &markerSections();
// Writes the marker values; returns true when every write succeeded.
bool writeMarkers();

namespace general {
inline constexpr IntSetting AskNewOpen{section::kSettings, "AskNewOpen", 0};
inline constexpr IntSetting AutoFix{section::kSettings, "AutoFix", 1};
inline constexpr IntSetting ProgramOptions{section::kSettings, "Program Options", 0};
inline constexpr IntSetting NoInterface{section::kSettings, "No Interface", 1};
inline constexpr IntSetting Submenu{section::kSettings, "Submenu", 1};
inline constexpr StringSetting MoveToList{section::kSettings, "List", ""};
inline constexpr IntSetting ListStyle{section::kSettings, "List Style", 1};
inline constexpr IntSetting PreviewPages{section::kSettings, "PreviewPages", 1};
} // namespace general

namespace folders {
inline constexpr IntSetting OpenSelect{section::kFolders, "Open Select", 0};
inline constexpr StringSetting Open{section::kFolders, "Open", ""};
inline constexpr StringSetting OpenMru{section::kFolders, "Open MRU", ""};
inline constexpr IntSetting NewSelect{section::kFolders, "New Select", 0};
inline constexpr StringSetting New{section::kFolders, "New", ""};
inline constexpr StringSetting NewMru{section::kFolders, "New MRU", ""};
inline constexpr IntSetting AddSelect{section::kFolders, "Add Select", 0};
inline constexpr StringSetting Add{section::kFolders, "Add", ""};
inline constexpr StringSetting AddMru{section::kFolders, "Add MRU", ""};
inline constexpr IntSetting ExtractSelect{section::kFolders, "Extract Select", 0};
inline constexpr StringSetting Extract{section::kFolders, "Extract", ""};
inline constexpr StringSetting ExtractMru{section::kFolders, "Extract MRU", ""};
inline constexpr IntSetting NoPromptExtract{section::kFolders, "No Prompt Extract", 0};
inline constexpr StringSetting Temp{section::kFolders, "Temp", ""};
} // namespace folders

namespace decompression {
inline constexpr IntSetting Overwrite{section::kDecompression, "Overwrite", 0};
inline constexpr IntSetting Method{section::kDecompression, "Method", 0};
inline constexpr StringSetting RenameMask{section::kDecompression, "Rename Mask", "%f (%n)"};
inline constexpr IntSetting Path{section::kDecompression, "Path", 1};
inline constexpr IntSetting MangleLfn{section::kDecompression, "Mangle LFN", 0};
inline constexpr IntSetting IgnoreLfn{section::kDecompression, "Ignore LFN", 0};
inline constexpr IntSetting AddArchiveName{section::kDecompression, "Add Archive Name", 0};
} // namespace decompression

namespace compression {
inline constexpr IntSetting Factor{section::kCompression, "Factor", 9};
inline constexpr IntSetting Method{section::kCompression, "Method", 0};
inline constexpr IntSetting Path{section::kCompression, "Path", 1};
inline constexpr IntSetting Recurse{section::kCompression, "Recurse", 0};
inline constexpr IntSetting Move{section::kCompression, "Move", 0};
inline constexpr IntSetting Grow{section::kCompression, "Grow", 0};
inline constexpr IntSetting OldAsLatest{section::kCompression, "Old As Latest", 0};
inline constexpr IntSetting MultiVolume{section::kCompression, "MultiVolume", 1};
inline constexpr IntSetting SkipLock{section::kCompression, "Skip Lock", 0};
inline constexpr IntSetting Password{section::kCompression, "Password", 0};
inline constexpr IntSetting FilterFile{section::kCompression, "Filter File", 0};
inline constexpr StringSetting FilterExclude{section::kCompression, "Filter Exclude", ""};
inline constexpr StringSetting FilterInclude{section::kCompression, "Filter Include", ""};
inline constexpr IntSetting FilterDate{section::kCompression, "Filter Date", 0};
inline constexpr IntSetting FilterMonth{section::kCompression, "Filter Month", 7};
inline constexpr IntSetting FilterDay{section::kCompression, "Filter Day", 18};
inline constexpr IntSetting FilterYear{section::kCompression, "Filter Year", 1980};
} // namespace compression

namespace cabcompression {
inline constexpr IntSetting Recurse{section::kCabCompression, "Recurse", 0};
inline constexpr IntSetting Path{section::kCabCompression, "Path", 1};
inline constexpr IntSetting Move{section::kCabCompression, "Move", 0};
inline constexpr IntSetting MultiVolume{section::kCabCompression, "MultiVolume", 1};
inline constexpr IntSetting SkipLock{section::kCabCompression, "Skip Lock", 0};
} // namespace cabcompression

namespace caboptions {
inline constexpr StringSetting Disk{section::kCabOptions, "Disk", ""};
inline constexpr StringSetting MaxDiskSize{section::kCabOptions, "Max Disk Size", ""};
inline constexpr IntSetting MaxDiskType{section::kCabOptions, "Max Disk Type", 0};
inline constexpr IntSetting MaxDiskUnit{section::kCabOptions, "Max Disk Unit", 0};
inline constexpr StringSetting ReservedSize{section::kCabOptions, "Reserved Size", ""};
inline constexpr IntSetting ReservedUnit{section::kCabOptions, "Reserved Unit", 0};
inline constexpr IntSetting CompressionType{section::kCabOptions, "Compression Type", 1};
inline constexpr IntSetting CompressionLevel{section::kCabOptions, "Compression Level", 0};
inline constexpr IntSetting NameStartingNumber{section::kCabOptions, "Name Starting Number", 0};
inline constexpr IntSetting DiskStartingNumber{section::kCabOptions, "Disk Starting Number", 0};
inline constexpr IntSetting Folder{section::kCabOptions, "Folder", 0};
} // namespace caboptions

// The list-view interface values; the ZIP view reads "Settings\Interface", the
// cabinet view "Settings\CAB Interface" with the same names and defaults.
struct InterfaceSettings {
    IntSetting SortArrows, MovableColumns, Remember, FullRowSelect, ShowGrid, SingleClick,
        HoverSelect, Underline;
};
inline constexpr InterfaceSettings kInterface{
    {section::kInterface, "Sort Arrows", 1},    {section::kInterface, "Movable Columns", 1},
    {section::kInterface, "Remember", 0},       {section::kInterface, "Full Row Select", 0},
    {section::kInterface, "Show Grid", 0},      {section::kInterface, "Single Click", 0},
    {section::kInterface, "Hover Select", 0},   {section::kInterface, "Underline", 0}};
inline constexpr InterfaceSettings kCabInterface{
    {section::kCabInterface, "Sort Arrows", 1},  {section::kCabInterface, "Movable Columns", 1},
    {section::kCabInterface, "Remember", 0},     {section::kCabInterface, "Full Row Select", 0},
    {section::kCabInterface, "Show Grid", 0},    {section::kCabInterface, "Single Click", 0},
    {section::kCabInterface, "Hover Select", 0}, {section::kCabInterface, "Underline", 0}};

namespace bars {
inline constexpr IntSetting Toolbar{section::kInterface, "Toolbar", 1};
inline constexpr IntSetting TextToolbar{section::kInterface, "Text Toolbar", 1};
inline constexpr IntSetting ImageToolbar{section::kInterface, "Image Toolbar", 1};
inline constexpr IntSetting ImageInfobar{section::kInterface, "Image Infobar", 1};
inline constexpr IntSetting Formatbar{section::kInterface, "Formatbar", 0};
inline constexpr IntSetting Ruler{section::kInterface, "Ruler", 0};
inline constexpr IntSetting ShowText{section::kInterface, "Show Text", 1};
inline constexpr IntSetting Align{section::kInterface, "Align", 2};
} // namespace bars

// Column layout of a list view; the ZIP view uses "Settings\Columns" (sort column
// 15), the cabinet view "Settings\CAB Columns" (sort column 9).
struct ColumnSettings {
    StringSetting WidthDef, OrderDef;
    IntSetting SortColumn, SortDirection;
};
inline constexpr ColumnSettings kColumns{{section::kColumns, "WidthDef", ""},
                                         {section::kColumns, "OrderDef", ""},
                                         {section::kColumns, "Sort Column", 15},
                                         {section::kColumns, "Sort Direction", 1}};
inline constexpr ColumnSettings kCabColumns{{section::kCabColumns, "WidthDef", ""},
                                            {section::kCabColumns, "OrderDef", ""},
                                            {section::kCabColumns, "Sort Column", 9},
                                            {section::kCabColumns, "Sort Direction", 1}};

namespace preview {
inline constexpr IntSetting Preview{section::kPreview, "Preview", 0};
inline constexpr IntSetting ActiveX{section::kPreview, "ActiveX", 0};
inline constexpr IntSetting ActiveMovie{section::kPreview, "ActiveMovie", 0};
inline constexpr IntSetting FitToWindow{section::kPreview, "Fit To Window", 0};
// Default: the main program's string 65513 "MS Sans Serif".
inline constexpr StringSetting FontName{section::kPreview, "Font Name", "MS Sans Serif"};
// Default: minus the pixel height of an 8-point font on the screen. Windowed
// deliverables tell the screen's resolution; 96 dpi until they do.
int defaultFontHeight();
void setScreenDpi(int dpi);
inline constexpr ComputedIntSetting FontHeight{section::kPreview, "Font Height",
                                               &defaultFontHeight};
inline constexpr IntSetting FontColor{section::kPreview, "Font Color", 0};
inline constexpr IntSetting TextWrap{section::kPreview, "Text Wrap", 0};
} // namespace preview

namespace mainframe {
// "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d": flags, show command, minimised x/y,
// maximised x/y, normal rectangle left/top/right/bottom.
inline constexpr StringSetting WindowPlacement{section::kMainFrame, "Window Placement", ""};
} // namespace mainframe

namespace autoscan {
inline constexpr StringSetting DefaultFolder{section::kAutoScan, "Default Folder", ""};
inline constexpr StringSetting DefaultType{section::kAutoScan, "Default Type", ""};
inline constexpr IntSetting IncludeSubfolder{section::kAutoScan, "Include Subfolder", 0};
} // namespace autoscan

namespace image {
inline constexpr IntSetting Transparency{section::kImage, "transparency", 0};
inline constexpr IntSetting Opacity{section::kImage, "opacity", 100};
inline constexpr IntSetting Color{section::kImage, "color", 0};
} // namespace image

// Recent-file list: four entries named "File1" ... "File4".
inline constexpr int kRecentFileCount = 4;
std::string recentFileName(int index); // 1-based

} // namespace settings
