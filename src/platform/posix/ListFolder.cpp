#include "platform/ListFolder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace quillon::platform {

void ListFolder(const std::string& folder, std::vector<std::string>& names) {
    std::string prefix = folder.empty() ? "./" : folder;
    if (prefix.back() != '/') prefix += '/';
    DIR* dir = opendir(prefix.c_str());
    if (!dir) return;
    const auto first = static_cast<std::ptrdiff_t>(names.size());
    // The directory stream belongs to this call alone, so readdir is safe here.
    while (const dirent* entry = readdir(dir)) { // NOLINT(concurrency-mt-unsafe)
        const std::string name = entry->d_name;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isFolder = stat((prefix + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        if (!isFolder) // "." and ".." are folders too
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin() + first, names.end());
}

} // namespace quillon::platform
