// quillon-settings: reads and writes Quillon's settings store from the command line. The installation
// uses it to record "InstallFolder" and the example folders; users may use it to inspect or repair them.
//
//   quillon-settings get NAME            prints the value (exit 1 when the store does not exist)
//   quillon-settings set NAME TEXT       stores the value
//   quillon-settings default NAME TEXT   stores the value only when it is not set yet
//   quillon-settings where               prints the files that are read, the user's (written) first
#include "platform/posix/XdgSettingsStore.h"

#include <cstdio>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: quillon-settings get NAME | set NAME TEXT | default NAME TEXT | where\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    using quillon::platform::XdgSettingsStore;
    XdgSettingsStore store;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "where" && argc == 2) {
        std::printf("%s\n", store.UserFile().c_str());
        for (const std::string& file : store.MachineFiles())
            std::printf("%s\n", file.c_str());
        return 0;
    }
    if (command == "get" && argc == 3) {
        const auto read = store.ReadSetting(argv[2]);
        std::printf("%s\n", read.text.c_str());
        return read.found ? 0 : 1;
    }
    if ((command == "set" || command == "default") && argc == 4) {
        if (command == "default" && !store.ReadSetting(argv[2]).text.empty()) return 0;
        if (!store.WriteSetting(argv[2], argv[3])) {
            std::fprintf(stderr, "quillon-settings: cannot write %s\n", store.UserFile().c_str());
            return 1;
        }
        return 0;
    }
    return Usage();
}
