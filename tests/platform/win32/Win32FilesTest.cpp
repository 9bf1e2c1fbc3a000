// The Win32 file services on the real file system: UTF-8 names, atomic replacement, listings and paths.
#include "platform/ListFolder.h"
#include "platform/ModuleFolder.h"
#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace quillon::platform {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class Win32FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = JoinPath(NormalFolder(std::string(temp, temp + wcslen(temp))), // temp is ASCII under wine
                           "quillon-files-test-" + std::to_string(GetCurrentProcessId()));
        CreateDirectoryA(folder_.c_str(), nullptr);
    }
    void TearDown() override {
        std::vector<std::string> names;
        ListFolder(folder_, names);
        for (const std::string& name : names)
            DeleteFileW(std::wstring(L"\\\\?\\").append(Wide(JoinPath(folder_, name))).c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    static std::wstring Wide(const std::string& path) {
        std::wstring wide(path.size(), L'\0');
        wide.resize(MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), wide.data(), int(wide.size())));
        for (wchar_t& c : wide)
            if (c == L'/') c = L'\\';
        return wide;
    }
    std::string folder_;
};

TEST_F(Win32FilesTest, ReplacesAndReadsBackAFileWithAUtf8NameLeavingNoTemporaryFile) {
    const std::string path = JoinPath(folder_, "B\xC3\xA4nk \xE9\x9F\xB3.bpb");
    ASSERT_TRUE(SafeFileWriter::Write(path, {Bytes("old")}).Ok());
    ASSERT_TRUE(SafeFileWriter::Write(path, {Bytes("new "), Bytes("content")}).Ok());
    const ReadFileResult read = ReadWholeFile(path, 100);
    ASSERT_TRUE(read.Ok()) << read.status.message;
    EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), "new content");

    std::vector<std::string> names;
    ListFolder(folder_, names);
    EXPECT_EQ(names, std::vector<std::string>{"B\xC3\xA4nk \xE9\x9F\xB3.bpb"});
    EXPECT_TRUE(IsExistingFile(path));
    EXPECT_EQ(ReadWholeFile(path, 5).status.code, StatusCode::kTooLarge);
    EXPECT_EQ(ReadWholeFile(folder_, 100).status.code, StatusCode::kNotAFile);
    EXPECT_EQ(ReadWholeFile(path + ".missing", 100).status.code, StatusCode::kCannotOpen);
}

TEST_F(Win32FilesTest, PathsKeepTheirDriveOrShareAsRoot) {
    EXPECT_EQ(NormalFolder("C:\\Users\\me\\..\\you\\.\\Music\\"), "C:/Users/you/Music");
    EXPECT_EQ(ParentFolder("C:/Users"), "C:/");
    EXPECT_EQ(ParentFolder("C:/"), "C:/");
    EXPECT_TRUE(IsRootFolder("C:\\"));
    EXPECT_TRUE(IsAbsolutePath("//server/share/x"));
    EXPECT_FALSE(IsAbsolutePath("Banks/x.bpb"));
    EXPECT_EQ(JoinPath("C:/Banks", "D:/Other/x.bpb"), "D:/Other/x.bpb");
    EXPECT_TRUE(IsExistingFolder(ModuleFolder())) << ModuleFolder();
}

} // namespace
} // namespace quillon::platform
