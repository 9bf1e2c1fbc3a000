// The system's "open" action: a web address in the user's browser, a document in the program the desktop
// associates with it. The editor's links (the maker's web site, the user's manual) use it.
//
// Opening never blocks the caller and never waits for the program it starts: that program runs on its
// own, detached from the plug-in's process, and is not the caller's child. The status tells only whether
// it could be started; what it does with the target (a missing file, an address that does not answer) is
// its own business. [gui]
#pragma once

#include "platform/Status.h"

#include <memory>
#include <string>

namespace quillon::platform {

class IShellOpen {
public:
    virtual ~IShellOpen() = default;
    // Hands `target` (an address such as "https://…" or a path) to the system; fails for an empty target
    // and when the system's opener cannot be started.
    virtual Status OpenWithSystem(const std::string& target) = 0;
};

// The opener of this platform (on Linux xdg-open, found in PATH).
std::unique_ptr<IShellOpen> MakeShellOpen();

} // namespace quillon::platform
