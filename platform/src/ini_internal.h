#pragma once

// The INI document model behind ini.cpp, also used for the platform's own small
// files (volume labels). Not a public header.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat::detail {

// An INI file as lines: everything not touched is written back unchanged.
class IniDocument {
public:
    // Reads a host file; a missing file gives an empty document. False with the
    // last error set on a read failure.
    bool load(const std::string &hostPath);
    // Writes the document to a host file (beside, then renamed). False with the
    // last error set.
    bool save(const std::string &hostPath) const;

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Sets (or with nullopt removes) a key; the section is created as needed.
    void setValue(std::string_view section, std::string_view key,
                  std::optional<std::string_view> value);
    void removeSection(std::string_view section);
    bool hasSection(std::string_view section) const;

    std::vector<std::string> sectionNames() const;
    // Key names of a section in file order (duplicates kept once).
    std::vector<std::string> keys(std::string_view section) const;
    // Lines of a section that carry data ("key=value" trimmed), in file order.
    std::vector<std::string> dataLines(std::string_view section) const;
    // Replaces every line of a section (created as needed).
    void replaceSection(std::string_view section, const std::vector<std::string> &lines);
    // Adds a line at the end of a section's data (created as needed).
    void appendLine(std::string_view section, std::string_view line);

private:
    struct Section {
        std::string name;
        std::string header;
        std::vector<std::string> lines;
    };
    Section *find(std::string_view section);
    const Section *find(std::string_view section) const;
    Section &findOrAdd(std::string_view section);

    std::vector<std::string> preamble_;
    std::vector<Section> sections_;
};

// Splits a data line into trimmed key and value (matching quotes removed);
// false for blank lines and comments.
bool splitIniLine(std::string_view line, std::string *key, std::string *value);

} // namespace plat::detail
