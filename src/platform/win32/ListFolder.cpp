// Folder listings and path helpers on Windows. Paths come back with "/" between their parts; "\" is
// accepted as well. An absolute path starts with a drive ("C:/"), a UNC prefix ("//server/share") or "/"
// (the root of the current drive).
#include "platform/ListFolder.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace quillon::platform {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The root part of an absolute path ("C:/", "//server/share/", "/"), with "/" separators; empty for a
// relative path.
std::string RootOf(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && IsSeparator(path[2]))
        return path.substr(0, 2) + "/";
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // "//server/share/"
        std::size_t end = 2, parts = 0;
        while (end < path.size() && parts < 2) {
            if (IsSeparator(path[end])) ++parts;
            if (parts < 2) ++end;
        }
        return win32::ForwardSlashes(path.substr(0, end)) + "/";
    }
    if (!path.empty() && IsSeparator(path[0])) return "/";
    return {};
}

// Calls `visit` with each entry of `folder` but "." and ".."; false when the folder cannot be read.
template <typename Visit> bool EachEntry(const std::string& folder, Visit visit) {
    std::string pattern = folder.empty() ? "./" : folder;
    if (!IsSeparator(pattern.back())) pattern += '/';
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileExW(win32::Widen(pattern + "*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        const std::string name = win32::Narrow(data.cFileName);
        if (name == "." || name == "..") continue;
        // A link (reparse point) to a folder carries the folder attribute itself.
        visit(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

DWORD Attributes(const std::string& path) {
    return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(win32::Widen(path).c_str());
}

} // namespace

void ListFolder(const std::string& folder, std::vector<std::string>& names) {
    const auto first = static_cast<std::ptrdiff_t>(names.size());
    EachEntry(folder, [&](const std::string& name, bool isFolder) {
        if (!isFolder) names.push_back(name);
    });
    std::sort(names.begin() + first, names.end());
}

FolderEntries ListFolderEntries(const std::string& folder) {
    FolderEntries result;
    result.readable = EachEntry(folder, [&](const std::string& name, bool isFolder) {
        if (name[0] != '.') result.entries.push_back({name, isFolder});
    });
    return result;
}

bool IsExistingFolder(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string HomeFolder() {
    // The user's profile folder (%USERPROFILE%), else the root of the system drive.
    if (const wchar_t* profile = _wgetenv(L"USERPROFILE"); profile && *profile) // NOLINT(concurrency-mt-unsafe)
        if (const std::string home = win32::Narrow(profile); IsAbsolutePath(home)) return NormalFolder(home);
    return "C:/";
}

std::string NormalFolder(const std::string& path) {
    if (path.empty()) return path;
    const std::string root = RootOf(path);
    std::vector<std::string> parts;
    std::size_t start = root.size();
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        // ".." steps back over a name; above the root of an absolute path it stays at the root.
        if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
            continue;
        }
        if (part == ".." && !root.empty()) continue;
        parts.push_back(std::move(part));
    }
    std::string normal = root;
    for (std::size_t i = 0; i < parts.size(); ++i)
        normal += (i > 0 ? "/" : "") + parts[i];
    if (normal.size() > 1 && normal.back() == '/' && parts.empty() && root.size() > 3) normal.pop_back(); // UNC
    return normal.empty() ? "." : normal;
}

std::string ParentFolder(const std::string& folder) {
    const std::string normal = NormalFolder(folder);
    const std::string root = RootOf(normal);
    if (!root.empty() && normal.size() <= root.size()) return normal;
    const std::size_t slash = normal.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash + 1 <= root.size() ? root : normal.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (IsAbsolutePath(name) || folder.empty()) return name;
    return IsSeparator(folder.back()) ? folder + name : folder + '/' + name;
}

bool IsAbsolutePath(const std::string& path) {
    return !RootOf(path).empty();
}

bool IsRootFolder(const std::string& folder) {
    const std::string normal = NormalFolder(folder);
    const std::string root = RootOf(normal);
    return !root.empty() && (normal == root || normal + "/" == root);
}

} // namespace quillon::platform
