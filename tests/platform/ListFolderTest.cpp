// Folder listing for the bank list (files only, sorted, appended to what the list holds) and for the file
// browser (files and folders), and the browser's path helpers.
#include "platform/ListFolder.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace quillon;

namespace {

// Makes a symbolic link; false where the system makes none (wine, or Windows without the privilege).
bool MakeLink(const std::string& target, const std::string& link, bool toFolder) {
    std::error_code error;
    if (toFolder)
        std::filesystem::create_directory_symlink(target, link, error);
    else
        std::filesystem::create_symlink(target, link, error);
    return !error;
}

constexpr const char* kNoLinks = "this system makes no symbolic links (wine has none); the links' listing is untested";

} // namespace

TEST(ListFolderTest, ListsFilesOfAnyCaseAndLeavesFoldersOut) {
    test::TemporaryDirectory folder;
    for (const std::string name : {"b.BPB", "a.bpb", ".hidden.bpb", "notes.txt"})
        std::ofstream(folder / name) << "x";
    std::filesystem::create_directory(folder / "c");
    std::filesystem::create_directory(folder / "d.bpb");
    if (!MakeLink(folder / "c", folder / "link-to-folder", true) ||
        !MakeLink(folder / "a.bpb", folder / "link-to-file.bpb", false))
        GTEST_SKIP() << kNoLinks;

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

// The file browser's listing: files and folders told apart (links by what they lead to), hidden entries left
// out, an unreadable folder reported as such.
TEST(ListFolderTest, BrowserEntriesTellFoldersFromFilesAndLeaveHiddenOnesOut) {
    test::TemporaryDirectory folder;
    for (const std::string name : {"a.bpa", ".hidden"})
        std::ofstream(folder / name) << "x";
    std::filesystem::create_directory(folder / "c");
    if (!MakeLink(folder / "c", folder / "link", true) || !MakeLink(folder / "gone", folder / "broken", false))
        GTEST_SKIP() << kNoLinks;
    platform::FolderEntries listing = platform::ListFolderEntries(folder.Path() + "/");
    EXPECT_TRUE(listing.readable);
    std::vector<std::string> seen;
    for (const platform::FolderEntry& entry : listing.entries)
        seen.push_back(entry.name + (entry.isFolder ? "/" : ""));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"a.bpa", "broken", "c/", "link/"}));
    EXPECT_FALSE(platform::ListFolderEntries(folder / "missing").readable);
    EXPECT_TRUE(platform::ListFolderEntries(folder / "missing").entries.empty());
}

TEST(ListFolderTest, PathsAreNormalisedByName) {
    EXPECT_EQ(platform::NormalFolder("/a//b/./c/../"), "/a/b");
    EXPECT_EQ(platform::NormalFolder("/../.."), "/");
    EXPECT_EQ(platform::ParentFolder("/a/b/"), "/a");
    EXPECT_EQ(platform::ParentFolder("/a"), "/");
    EXPECT_EQ(platform::ParentFolder("/"), "/");
    EXPECT_EQ(platform::JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("/", "b"), "/b");
    EXPECT_EQ(platform::JoinPath("/a", "/x"), "/x");
}
