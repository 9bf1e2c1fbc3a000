// Fuzzes the MIDI assignment file reader: the input becomes the custom assignment file of an installation
// folder of its own and is read through ReadAssignments, as a plug-in does when it is created. Every entry
// of the table must then bind nothing (-1) or a parameter (0..123).
#include "FuzzSupport.h"

#include "files/TMidiLearnFileManager.h"

#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quillon::TMidiLearnFileManager;
    static const std::filesystem::path install = [] {
        auto folder = quillon::fuzz::WorkFolder() / "install";
        std::filesystem::create_directories(folder / "Data");
        return folder;
    }();
    static const TMidiLearnFileManager manager(install.string());
    quillon::fuzz::WriteInput("install/Data/custom.bma", data, size);

    TMidiLearnFileManager::Table table{};
    const auto result = manager.ReadAssignments(table);
    for (const int entry : table)
        if (entry < -1 || entry >= TMidiLearnFileManager::kParameterCount) std::abort();
    if (!result.Ok()) {
        for (const int entry : table)
            if (entry != -1) std::abort(); // a refused file binds nothing
    }
    // The in-memory decoder must agree with the file reader.
    TMidiLearnFileManager::Table decoded{};
    const auto direct = TMidiLearnFileManager::Decode(std::span<const std::uint8_t>(data, size), decoded);
    if (direct.Ok() != result.Ok() || decoded != table) std::abort();
    return 0;
}
