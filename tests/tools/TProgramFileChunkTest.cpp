// The host tool's reading of Quillon program and bank files into program chunks, and its refusal of
// files that are not exactly such files.
#include "hostkit/TProgramFileChunk.h"
#include "support/PatchFileBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;
using TBytes = std::vector<std::uint8_t>;

// A record whose every byte tells the slot it belongs to and its own position.
TBytes Record(int slot) {
    TBytes record(kPatchRecordBytes);
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<std::uint8_t>(slot * 7 + i % 13);
    return record;
}

TBytes Bank(int records = TProgramFileChunk::kBankSlots) {
    TBytes all;
    for (int slot = 0; slot < records; ++slot) {
        const TBytes record = Record(slot);
        all.insert(all.end(), record.begin(), record.end());
    }
    return Deflate(all);
}

TEST(TProgramFileChunk, ProgramFilePayloadIsTheChunk) {
    const TBytes payload = Deflate(Record(3));
    TProgramFileChunk chunk;
    ASSERT_TRUE(chunk.FromProgramFile(ProgramFileBytes(payload))) << chunk.Error();
    EXPECT_EQ(chunk.Chunk(), payload);
}

TEST(TProgramFileChunk, BankSlotBecomesAChunkOfThatRecord) {
    const TBytes bank = BankFileBytes(Bank());
    TProgramFileChunk chunk;
    for (int slot : {0, 37, 63}) {
        ASSERT_TRUE(chunk.FromBankFile(bank, slot)) << chunk.Error();
        const auto record = Inflate(chunk.Chunk(), kPatchRecordBytes);
        ASSERT_TRUE(record.has_value()) << "slot " << slot;
        EXPECT_EQ(*record, Record(slot)) << "slot " << slot;
    }
    for (int slot : {-1, 64}) {
        EXPECT_FALSE(chunk.FromBankFile(bank, slot));
        EXPECT_NE(chunk.Error().find("out of range"), std::string::npos) << chunk.Error();
        EXPECT_TRUE(chunk.Chunk().empty());
    }
}

TEST(TProgramFileChunk, RefusesFilesThatAreNotExactlyQuillonFiles) {
    const TBytes program = ProgramFileBytes(Deflate(Record(1)));
    const TBytes bank = BankFileBytes(Bank());
    struct TCase {
        const char* name;
        TBytes file;
        bool asBank;
        const char* expected;
    };
    std::vector<TCase> cases;
    TBytes noNul = program;
    noNul[19] = 'x'; // "Brindmor Patch File" fills the field with no terminator
    cases.push_back({"identifier without NUL", noNul, false, "identifier"});
    TBytes lowerCase = program;
    lowerCase[0] = 'b';
    cases.push_back({"identifier case", lowerCase, false, "identifier"});
    TBytes product = program;
    product[20] = 'q';
    cases.push_back({"product case", product, false, "product"});
    TBytes longProduct = program;
    std::fill(longProduct.begin() + 27, longProduct.begin() + 71, 'x');
    cases.push_back({"product without NUL", longProduct, false, "product"});
    TBytes extra = program;
    extra.push_back(0);
    cases.push_back({"one byte extra", extra, false, "payload size"});
    TBytes missing = program;
    missing.pop_back();
    cases.push_back({"one byte missing", missing, false, "payload size"});
    cases.push_back({"header only", TBytes(program.begin(), program.begin() + 40), false, "shorter than"});
    TBytes negative = program;
    negative[75] = 0x80;
    cases.push_back({"negative size", negative, false, "payload size"});
    cases.push_back({"bank as program", bank, false, "identifier"});
    cases.push_back({"program as bank", program, true, "identifier"});
    cases.push_back({"bank of 63 records", BankFileBytes(Bank(63)), true, "inflates to"});
    cases.push_back({"bank of garbage", BankFileBytes(TBytes(100, 0x55)), true, "does not inflate"});
    TBytes trailing = Bank();
    trailing.push_back(0);
    cases.push_back({"bank stream with trailing byte", BankFileBytes(trailing), true, "after"});

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TProgramFileChunk chunk;
        EXPECT_FALSE(c.asBank ? chunk.FromBankFile(c.file, 0) : chunk.FromProgramFile(c.file));
        EXPECT_NE(chunk.Error().find(c.expected), std::string::npos) << chunk.Error();
        EXPECT_TRUE(chunk.Chunk().empty());
    }
}

TEST(TProgramFileChunk, LoadNamesTheFile) {
    TProgramFileChunk chunk;
    EXPECT_FALSE(chunk.LoadProgramFile("/nonexistent/sound.bpa"));
    EXPECT_NE(chunk.Error().find("/nonexistent/sound.bpa"), std::string::npos) << chunk.Error();
    EXPECT_FALSE(chunk.LoadBankFile("/nonexistent/sounds.bpb", 0));
    EXPECT_NE(chunk.Error().find("/nonexistent/sounds.bpb"), std::string::npos) << chunk.Error();
}

} // namespace
} // namespace quillon
