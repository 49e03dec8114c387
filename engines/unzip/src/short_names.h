#pragma once

// Short (8.3) names for entries extracted with the "long names as short
// names" option. The mapping depends only on the archive, so extracting one
// entry alone gives it the same name as extracting the whole archive.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace unzip {

class ShortNameMap {
public:
    // Maps a relative path (components separated by '\', as safeRelativePath
    // gives it): each component that is not already of the 8.3 form becomes
    //   first characters of its base name + "~" + n [+ "." + first 3 of its extension],
    // upper case, blanks and dots dropped from the base and "+,;=[]" turned
    // into '_'; n counts the distinct long names of the same folder that share
    // the prefix and extension, in the order they are first mapped, and the
    // prefix shrinks so the base never exceeds 8 characters.
    std::string map(std::string_view relativePath);

private:
    std::string mapComponent(const std::string &folderKey, std::string_view component);
    // folder + prefix + extension -> long names already given a number
    std::unordered_map<std::string, std::vector<std::string>> numbers_;
};

} // namespace unzip
