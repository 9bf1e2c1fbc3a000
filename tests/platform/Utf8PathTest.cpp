// UTF-8 strings to file-system paths and back: names outside ASCII name the same file both ways, on every
// system; text that is not UTF-8 is kept where paths are bytes and replaced where they are UTF-16.
#include "platform/Utf8Path.h"
#include "platform/ListFolder.h"
#include "platform/ReadWholeFile.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <type_traits>

using namespace quillon;
using platform::PathFromUtf8;
using platform::Utf8FromPath;

namespace {

// "Größe.bpa", "Klänge", "音色.bpb", "𝄞" (outside the Basic Multilingual Plane: a surrogate pair in UTF-16).
const std::vector<std::string> kNames = {"Gr\xC3\xB6\xC3\x9F"
                                         "e.bpa",
                                         "Kl\xC3\xA4nge", "\xE9\x9F\xB3\xE8\x89\xB2.bpb", "\xF0\x9D\x84\x9E"};
constexpr bool kBytePaths = std::is_same_v<std::filesystem::path::value_type, char>;

} // namespace

TEST(Utf8PathTest, NonAsciiNamesRoundTripThroughTheFileSystem) {
    test::TemporaryDirectory folder;
    for (const std::string& name : kNames) {
        EXPECT_EQ(Utf8FromPath(PathFromUtf8(name)), name);
        std::ofstream(PathFromUtf8(folder / name), std::ios::binary) << name;
    }
    std::vector<std::string> sorted = kNames;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(folder.Entries(), sorted) << "the names the file system gives back are the ones written";
    std::vector<std::string> listed;
    platform::ListFolder(folder.Path(), listed);
    EXPECT_EQ(listed, sorted);

    const std::filesystem::path file = PathFromUtf8(folder / kNames[2]);
    EXPECT_EQ(Utf8FromPath(file.filename()), kNames[2]);
    EXPECT_EQ(Utf8FromPath(file.stem()), "\xE9\x9F\xB3\xE8\x89\xB2");
    EXPECT_EQ(Utf8FromPath(file.parent_path()), folder.Path());
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(kNames[1]) / "Data" / PathFromUtf8(kNames[0])),
              kNames[1] + "/Data/" + kNames[0])
        << "\"/\" between the parts on every system";
    const platform::ReadFileResult read = platform::ReadWholeFile(Utf8FromPath(file), 100);
    ASSERT_TRUE(read.Ok()) << read.status.message;
    EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), kNames[2]);
}

TEST(Utf8PathTest, TextThatIsNotUtf8) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(platform::ValidUtf8("plain " + kNames[0] + kNames[2] + kNames[3]),
              "plain " + kNames[0] + kNames[2] + kNames[3]);
    EXPECT_EQ(platform::ValidUtf8("a\x80z"), "a" + replacement + "z") << "a stray continuation byte";
    EXPECT_EQ(platform::ValidUtf8("\xC0\xAF"), replacement + replacement) << "an overlong '/'";
    EXPECT_EQ(platform::ValidUtf8("\xED\xA0\x80"), replacement + replacement + replacement) << "a surrogate";
    EXPECT_EQ(platform::ValidUtf8("\xF4\x90\x80\x80").size(), 4 * replacement.size()) << "above U+10FFFF";
    EXPECT_EQ(platform::ValidUtf8("ok\xE9\x9F"), "ok" + replacement + replacement) << "cut short";

    // Byte paths keep any name the system gave (a Latin-1 file name on Linux names that file again); UTF-16
    // paths cannot hold it and get the replacement.
    EXPECT_EQ(Utf8FromPath(PathFromUtf8("Gr\xF6\xDF")), kBytePaths ? "Gr\xF6\xDF" : "Gr" + replacement + replacement);
}
