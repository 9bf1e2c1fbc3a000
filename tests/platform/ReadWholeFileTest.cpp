// The whole-file reader's refusals: what is not a regular file (without waiting on a pipe), the length
// limit, and the texts that name the file. Files that change while they are read are covered by the
// fault-injection tests.
#include "platform/ReadWholeFile.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

using namespace quillon;

using platform::ReadWholeFile;

namespace {

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(ReadWholeFile, ReadsRegularFilesUpToTheLimitExactly) {
    test::TemporaryDirectory dir;
    WriteText(dir / "ten", "0123456789");
    const platform::ReadFileResult ten = ReadWholeFile(dir / "ten", 10);
    ASSERT_TRUE(ten.Ok()) << ten.status.message;
    EXPECT_EQ(std::string(ten.bytes.begin(), ten.bytes.end()), "0123456789");
    EXPECT_TRUE(ten.status.message.empty());

    const platform::ReadFileResult over = ReadWholeFile(dir / "ten", 9);
    EXPECT_EQ(over.status.code, StatusCode::kTooLarge);
    EXPECT_TRUE(over.bytes.empty());
    EXPECT_EQ(over.status.message, "Cannot read the file " + dir / "ten" + ": it holds more than 9 bytes");

    // A huge sparse file is refused from its length alone.
    std::ofstream(dir / "huge").close();
    std::filesystem::resize_file(dir / "huge", std::uintmax_t{1} << 36);
    EXPECT_EQ(ReadWholeFile(dir / "huge", 1 << 20).status.code, StatusCode::kTooLarge);

    std::ofstream(dir / "empty").close();
    const platform::ReadFileResult empty = ReadWholeFile(dir / "empty", 0);
    EXPECT_TRUE(empty.Ok());
    EXPECT_TRUE(empty.bytes.empty());
}

TEST(ReadWholeFile, RefusesMissingFilesFoldersDevicesAndPipesWithTheirReason) {
    test::TemporaryDirectory dir;
    const platform::ReadFileResult missing = ReadWholeFile(dir / "none", 100);
    EXPECT_EQ(missing.status.code, StatusCode::kCannotOpen);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.status.message, "Cannot open the file " + dir / "none" + ": No such file or directory");

    const platform::ReadFileResult folder = ReadWholeFile(dir.Path(), 100);
    EXPECT_EQ(folder.status.code, StatusCode::kNotAFile);
    EXPECT_EQ(folder.error, EISDIR);
    EXPECT_NE(folder.status.message.find(dir.Path()), std::string::npos) << folder.status.message;

    EXPECT_EQ(ReadWholeFile("/dev/zero", 100).status.code, StatusCode::kNotAFile); // endless

    // A pipe nobody writes to: refused at once rather than waited on for ever.
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const platform::ReadFileResult pipe = ReadWholeFile(dir / "pipe", 100);
    EXPECT_EQ(pipe.status.code, StatusCode::kNotAFile);
    EXPECT_EQ(pipe.status.message, "Cannot read " + dir / "pipe" + ": it is not a regular file");
}

} // namespace
