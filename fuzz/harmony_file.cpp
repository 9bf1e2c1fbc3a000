// Fuzzes the harmony file reader: the input is written to a file and loaded. A refusal with its text is the
// expected outcome of bad input; a loaded file must write
// back to the bytes it was read from (the format has no free bits beyond the version byte).
#include "FuzzSupport.h"

#include "files/THarmonyFileManager.h"

#include <cstring>
#include <ios>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quillon::THarmonyFileManager;
    const std::string path = quillon::fuzz::WriteInput("input.bha", data, size);
    THarmonyFileManager manager;
    const quillon::Status status = manager.Load(path);
    if (status.Ok()) {
        const auto bytes = manager.Bytes();
        // Levels and phases come back as read.
        if (size < THarmonyFileManager::kFileSize ||
            std::memcmp(bytes.data() + THarmonyFileManager::kHeaderSize, data + THarmonyFileManager::kHeaderSize,
                        2 * static_cast<std::size_t>(THarmonyFileManager::kHarmonicCount)) != 0)
            std::abort();
    } else if (status.message.empty()) {
        std::abort(); // a refusal always says why
    }
    return 0;
}
