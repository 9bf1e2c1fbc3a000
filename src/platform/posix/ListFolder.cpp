#include "platform/ListFolder.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

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

namespace quillon::platform {

FolderEntries ListFolderEntries(const std::string& folder) {
    FolderEntries result;
    std::string prefix = folder.empty() ? "./" : folder;
    if (prefix.back() != '/') prefix += '/';
    DIR* dir = opendir(prefix.c_str());
    if (!dir) return result;
    result.readable = true;
    // The directory stream belongs to this call alone, so readdir is safe here.
    while (const dirent* entry = readdir(dir)) { // NOLINT(concurrency-mt-unsafe)
        if (entry->d_name[0] == '.') continue;   // ".", ".." and hidden entries
        FolderEntry item{entry->d_name, entry->d_type == DT_DIR};
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            item.isFolder = IsExistingFolder(prefix + item.name);
        result.entries.push_back(std::move(item));
    }
    closedir(dir);
    return result;
}

bool IsExistingFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsExistingFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') // NOLINT(concurrency-mt-unsafe)
        return NormalFolder(home);
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return NormalFolder(found->pw_dir);
    return "/";
}

std::string NormalFolder(const std::string& path) {
    if (path.empty()) return path;
    const bool absolute = path.front() == '/';
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        // ".." steps back over a name; above the root of an absolute path it stays at the root.
        if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
            continue;
        }
        if (part == ".." && absolute) continue;
        parts.push_back(std::move(part));
    }
    std::string normal = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i)
        normal += (i > 0 ? "/" : "") + parts[i];
    return normal.empty() ? "." : normal;
}

std::string ParentFolder(const std::string& folder) {
    const std::string normal = NormalFolder(folder);
    const std::size_t slash = normal.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : normal.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (IsAbsolutePath(name) || folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

bool IsRootFolder(const std::string& folder) {
    return NormalFolder(folder) == "/";
}

} // namespace quillon::platform
