// Folder listing for the editor's bank list. [gui]
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

} // namespace quillon::platform
