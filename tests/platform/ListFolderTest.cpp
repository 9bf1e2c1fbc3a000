// Folder listing for the bank list: files only, sorted, appended to what the list holds.
#include "platform/ListFolder.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quillon;

TEST(ListFolderTest, ListsFilesOfAnyCaseAndLeavesFoldersOut) {
    test::TemporaryDirectory folder;
    for (const std::string name : {"b.BPB", "a.bpb", ".hidden.bpb", "notes.txt"})
        std::ofstream(folder / name) << "x";
    std::filesystem::create_directory(folder / "c");
    std::filesystem::create_directory(folder / "d.bpb");
    std::filesystem::create_directory_symlink(folder / "c", folder / "link-to-folder");
    std::filesystem::create_symlink(folder / "a.bpb", folder / "link-to-file.bpb");

    std::vector<std::string> names{"kept"};
    platform::ListFolder(folder.Path(), names);
    EXPECT_EQ(names,
              (std::vector<std::string>{"kept", ".hidden.bpb", "a.bpb", "b.BPB", "link-to-file.bpb", "notes.txt"}));

    // With a trailing "/" the same names come.
    std::vector<std::string> again;
    platform::ListFolder(folder.Path() + "/", again);
    EXPECT_EQ(again, std::vector<std::string>(names.begin() + 1, names.end()));
}

TEST(ListFolderTest, MissingEmptyOrNonFolderPathsAddNothing) {
    test::TemporaryDirectory folder;
    std::ofstream(folder / "file") << "x";
    std::vector<std::string> names;
    platform::ListFolder(folder / "missing", names);
    platform::ListFolder(folder / "file", names);
    std::filesystem::create_directory(folder / "empty");
    platform::ListFolder(folder / "empty", names);
    EXPECT_TRUE(names.empty());
}
