// Folder listings: the editor's bank list and the file browser of its file and folder dialogs. [gui]
#pragma once

#include <string>
#include <vector>

namespace quillon::platform {

// Appends to `names` the name (without its folder) of every entry of `folder` that is not a folder itself:
// files, and links to files, with any permission bits, hidden ones (starting with ".") included. A link
// that leads to a folder counts as a folder. The appended names are sorted by byte value, so that lists
// come out the same on every file system. `folder` may end with "/" or not. An unreadable or empty folder
// appends nothing. Callers filter by extension themselves (the bank list keeps names ending in ".bpb").
void ListFolder(const std::string& folder, std::vector<std::string>& names);

// One entry of a folder as a file browser shows it.
struct FolderEntry {
    std::string name; // without its folder
    bool isFolder = false;
};

struct FolderEntries {
    std::vector<FolderEntry> entries;
    bool readable = false; // false: the folder could not be opened (missing, no permission); no entries
};

// The entries of `folder` for a file browser, in the order the file system gives them: every entry but
// "." and "..", except hidden ones (starting with "."). A link counts as what it leads to; a broken link
// as a file. A quick local read of the folder alone; nothing is thrown for an unreadable folder.
FolderEntries ListFolderEntries(const std::string& folder);

// Paths as the file browser handles them ("/" between the parts).
// True when `path` is an existing folder (or a link to one).
bool IsExistingFolder(const std::string& path);
// True when `path` exists and is not a folder.
bool IsExistingFile(const std::string& path);
// The user's home folder ($HOME, else the password database's entry, else "/").
std::string HomeFolder();
// `path` with "." and ".." parts resolved by name (no links followed), runs of separators made single and
// no trailing one ("/" stays "/"; an empty path stays empty).
std::string NormalFolder(const std::string& path);
// The folder that holds `folder` (normalised first); the root for the root itself.
std::string ParentFolder(const std::string& folder);
// `name` inside `folder`; `name` itself when it is absolute.
std::string JoinPath(const std::string& folder, const std::string& name);
// True when `path` is absolute.
bool IsAbsolutePath(const std::string& path);
// True for the root folder.
bool IsRootFolder(const std::string& folder);

} // namespace quillon::platform
