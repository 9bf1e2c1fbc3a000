// Program and bank files: the stored bytes, every refusal, write protection, overwrite questions and
// saves that fail part-way.
#include "files/TPresetsFileManager.h"

#include "files/LittleEndian.h"
#include "files/ZlibCodec.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace quillon;

namespace {

constexpr std::size_t kRecord = record::kRecordSize;
constexpr std::size_t kBank = TPresetsFileManager::kBankBytes;
constexpr const char* kNotValidProgram = "The file is not a valid Quillon program!";
constexpr const char* kNotValidBank = "The file is not a valid Quillon bank!";

// Bytes that compress, but not to nothing: a slowly varying pattern with some noise.
std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = static_cast<std::uint8_t>((i / 97) + ((seed >> 24) & 3));
    }
    return bytes;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Text(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset), size);
}

class PresetsFileTest : public ::testing::Test {
protected:
    TPresetsFileManager::ProgramSpan ProgramBuffer() {
        return TPresetsFileManager::ProgramSpan(buffer.data(), kRecord);
    }
    TPresetsFileManager::BankSpan BankBuffer() { return TPresetsFileManager::BankSpan(buffer.data(), kBank); }

    // Writes a valid program file holding `program` and returns its bytes.
    std::vector<std::uint8_t> SavedProgram(const std::string& path) {
        EXPECT_TRUE(files.SaveProgram(path, TPresetsFileManager::ConstProgramSpan(program.data(), kRecord)));
        return ReadAll(path);
    }
    // A program file with the given payload behind a correct header.
    std::vector<std::uint8_t> ProgramFileWith(const std::vector<std::uint8_t>& payload) {
        std::vector<std::uint8_t> file = ReadAll(ProgramPath());
        file.resize(TPresetsFileManager::kProgramHeaderSize);
        le::StoreI32(file.data() + 72, static_cast<std::int32_t>(payload.size()));
        file.insert(file.end(), payload.begin(), payload.end());
        return file;
    }
    // Expects a program load to be refused with `message` and to leave the buffer alone.
    void ExpectProgramRefused(const std::string& path, const std::string& message) {
        buffer.assign(kBank, 0xEE);
        const Status status = files.LoadProgram(path, ProgramBuffer());
        EXPECT_FALSE(status);
        EXPECT_EQ(status.message, message);
        EXPECT_EQ(buffer, std::vector<std::uint8_t>(kBank, 0xEE));
    }
    std::string ProgramPath() {
        const std::string path = dir / "sound.bpa";
        if (!std::filesystem::exists(path)) SavedProgram(path);
        return path;
    }

    test::TemporaryDirectory dir;
    TPresetsFileManager files;
    std::vector<std::uint8_t> program = Pattern(kRecord, 1);
    std::vector<std::uint8_t> bank = Pattern(kBank, 2);
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kBank);
};

TEST_F(PresetsFileTest, ProgramFileBytesAndRoundTrip) {
    const std::vector<std::uint8_t> file = SavedProgram(dir / "a.bpa");
    ASSERT_GT(file.size(), 76u);
    EXPECT_EQ(Text(file, 0, 20), std::string("Brindmor Patch File\0", 20));
    EXPECT_EQ(Text(file, 20, 51), "Quillon" + std::string(44, '\0'));
    EXPECT_EQ(file[71], 0);
    EXPECT_EQ(static_cast<std::size_t>(le::LoadI32(file.data() + 72)), file.size() - 76);
    EXPECT_EQ(file[76], 0x78); // zlib stream, deflate with a 32 KiB window ...
    EXPECT_EQ(file[77], 0xDA); // ... at maximum compression
    std::vector<std::uint8_t> inflated(kRecord);
    EXPECT_EQ(ZlibInflate(std::span(file).subspan(76), inflated), InflateResult::kComplete);
    EXPECT_EQ(inflated, program);

    EXPECT_TRUE(files.LoadProgram(dir / "a.bpa", ProgramBuffer()));
    EXPECT_TRUE(std::equal(program.begin(), program.end(), buffer.begin()));
}

TEST_F(PresetsFileTest, BankFileBytesAndRoundTrip) {
    ASSERT_TRUE(files.SaveBank(dir / "b.bpb", TPresetsFileManager::ConstBankSpan(bank.data(), kBank)));
    const std::vector<std::uint8_t> file = ReadAll(dir / "b.bpb");
    ASSERT_GT(file.size(), 80u);
    EXPECT_EQ(Text(file, 0, 25), std::string("Brindmor Patch Bank File\0", 25));
    EXPECT_EQ(Text(file, 25, 51), "Quillon" + std::string(44, '\0'));
    EXPECT_EQ(static_cast<std::size_t>(le::LoadI32(file.data() + 76)), file.size() - 80);
    std::vector<std::uint8_t> inflated(kBank);
    EXPECT_EQ(ZlibInflate(std::span(file).subspan(80), inflated), InflateResult::kComplete);
    EXPECT_EQ(inflated, bank);

    EXPECT_TRUE(files.LoadBank(dir / "b.bpb", BankBuffer()));
    EXPECT_EQ(buffer, bank);
}

TEST_F(PresetsFileTest, IdentifiersAreTheTextUpToTheFirstNul) {
    std::vector<std::uint8_t> file = ReadAll(ProgramPath());
    // Bytes after the NUL of the product field, and the padding byte, are not looked at.
    for (std::size_t i = 28; i < 72; ++i)
        file[i] = 0x5A;
    WriteAll(dir / "tail.bpa", file);
    EXPECT_TRUE(files.LoadProgram(dir / "tail.bpa", ProgramBuffer()));

    // The right text without its NUL is refused: the field holds 20 characters, not the identifier.
    file = ReadAll(ProgramPath());
    file[19] = 'X';
    WriteAll(dir / "nonul.bpa", file);
    ExpectProgramRefused(dir / "nonul.bpa", kNotValidProgram);

    file = ReadAll(ProgramPath());
    file[20] = 'q'; // product identifier compared with its case
    WriteAll(dir / "case.bpa", file);
    ExpectProgramRefused(dir / "case.bpa", kNotValidProgram);

    ASSERT_TRUE(files.SaveBank(dir / "b.bpb", TPresetsFileManager::ConstBankSpan(bank.data(), kBank)));
    file = ReadAll(dir / "b.bpb");
    file[24] = 'e';
    WriteAll(dir / "nonul.bpb", file);
    EXPECT_EQ(files.LoadBank(dir / "nonul.bpb", BankBuffer()).message, kNotValidBank);
}

TEST_F(PresetsFileTest, LengthMustMatchThePayloadSizeExactly) {
    std::vector<std::uint8_t> file = ReadAll(ProgramPath());
    file.push_back(0);
    WriteAll(dir / "longer.bpa", file);
    ExpectProgramRefused(dir / "longer.bpa", kNotValidProgram);

    file.resize(file.size() - 2);
    WriteAll(dir / "shorter.bpa", file);
    ExpectProgramRefused(dir / "shorter.bpa", kNotValidProgram);

    // A negative size, and a size far beyond any real payload, are refused before anything is read.
    file = ReadAll(ProgramPath());
    le::StoreI32(file.data() + 72, -1);
    WriteAll(dir / "negative.bpa", file);
    ExpectProgramRefused(dir / "negative.bpa", kNotValidProgram);

    const std::int64_t huge = TPresetsFileManager::kMaxPayloadSize + 1;
    file.resize(76);
    le::StoreI32(file.data() + 72, static_cast<std::int32_t>(huge));
    WriteAll(dir / "huge.bpa", file);
    std::filesystem::resize_file(dir / "huge.bpa", static_cast<std::uintmax_t>(76 + huge)); // sparse
    ExpectProgramRefused(dir / "huge.bpa", kNotValidProgram);
}

TEST_F(PresetsFileTest, EachKindRefusesTheOther) {
    ASSERT_TRUE(files.SaveBank(dir / "b.bpb", TPresetsFileManager::ConstBankSpan(bank.data(), kBank)));
    ExpectProgramRefused(dir / "b.bpb", kNotValidProgram);

    buffer.assign(kBank, 0xEE);
    EXPECT_EQ(files.LoadBank(ProgramPath(), BankBuffer()).message, kNotValidBank);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(kBank, 0xEE));
}

TEST_F(PresetsFileTest, MissingFilesAndFailuresBelowTheFormat) {
    ExpectProgramRefused(dir / "nothing.bpa", "File not found!");
    ExpectProgramRefused(dir.Path(), "File not found!"); // a folder is no file

    std::vector<std::uint8_t> file = ReadAll(ProgramPath());
    WriteAll(dir / "header.bpa", std::vector<std::uint8_t>(file.begin(), file.begin() + 50));
    EXPECT_EQ(files.LoadProgram(dir / "header.bpa", ProgramBuffer()).code, StatusCode::kReadError);

    file[76] = 0xFF; // no zlib stream header
    WriteAll(dir / "corrupt.bpa", file);
    ExpectProgramRefused(dir / "corrupt.bpa", "Error");

    file = ReadAll(ProgramPath());
    file.back() ^= 0x01; // checksum mismatch
    WriteAll(dir / "checksum.bpa", file);
    ExpectProgramRefused(dir / "checksum.bpa", "Error");

    std::vector<std::uint8_t> longer = program;
    longer.push_back(7);
    WriteAll(dir / "toomuch.bpa", ProgramFileWith(ZlibCompress(longer)));
    ExpectProgramRefused(dir / "toomuch.bpa", "ZLib error: target buffer may be too small");

    // A stream one byte short would leave the last byte of the slot as it was: not a valid program.
    std::vector<std::uint8_t> shorter(program.begin(), program.end() - 1);
    WriteAll(dir / "short.bpa", ProgramFileWith(ZlibCompress(shorter)));
    ExpectProgramRefused(dir / "short.bpa", kNotValidProgram);
}

TEST_F(PresetsFileTest, ReadOnlyFilesLoadButAreNotOverwritten) {
    const std::string path = ProgramPath();
    const std::vector<std::uint8_t> before = ReadAll(path);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(files.LoadProgram(path, ProgramBuffer()));

    program[0] ^= 0xFF;
    EXPECT_EQ(files.SaveProgram(path, TPresetsFileManager::ConstProgramSpan(program.data(), kRecord)).message,
              "The selected file is write protected!");
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"sound.bpa"});
}

TEST_F(PresetsFileTest, OverwritingKeepsThePermissions) {
    const std::string path = ProgramPath();
    const std::vector<std::uint8_t> before = ReadAll(path);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    program[0] ^= 0xFF;
    const TPresetsFileManager::ConstProgramSpan changed(program.data(), kRecord);
    EXPECT_TRUE(files.SaveProgram(path, changed));
    EXPECT_NE(ReadAll(path), before);
    EXPECT_TRUE(files.LoadProgram(path, ProgramBuffer()));
    EXPECT_TRUE(std::equal(program.begin(), program.end(), buffer.begin()));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u); // the replaced file keeps its permissions
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"sound.bpa"});
}

TEST_F(PresetsFileTest, FailedSavesLeaveTheOldFileAndNoTemporary) {
    const std::string path = ProgramPath();
    const std::vector<std::uint8_t> before = ReadAll(path);
    program[0] ^= 0xFF;
    const TPresetsFileManager::ConstProgramSpan changed(program.data(), kRecord);

    // The disk refuses the data part-way: file size limit of 40 bytes, the header alone is 76.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 40;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_EQ(files.SaveProgram(path, changed).code, StatusCode::kWriteError);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"sound.bpa"});

    // The new file is complete but cannot take the place of what is there (a folder).
    std::filesystem::create_directory(dir / "folder.bpa");
    EXPECT_EQ(files.SaveProgram(dir / "folder.bpa", changed).code, StatusCode::kWriteError);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.bpa"));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder.bpa", "sound.bpa"}));

    // The folder is gone.
    const Status gone = files.SaveProgram(dir / "gone/new.bpa", changed);
    EXPECT_NE(gone.message.find(dir / "gone"), std::string::npos) << gone.message;
}

} // namespace
