// Finding a program the way a shell would, for the helpers the editor starts (the opener for links, the
// desktop's file dialog). GUI thread only: it reads PATH, which nothing in the plug-in writes.
#pragma once

#include <string>
#include <string_view>

namespace quillon::platform {

// The path of the first regular, executable file named `program` in the folders of PATH (or
// /usr/local/bin:/usr/bin:/bin when PATH is unset or empty; an empty entry is the current folder), or
// empty when there is none.
std::string FindOnPath(std::string_view program);

} // namespace quillon::platform
