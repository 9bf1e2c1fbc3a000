#include "BankListing.h"

#include "CommandLine.h"
#include "DescriptionParameters.h"
#include "ProgramDescription.h"
#include "ProgramMeasures.h"
#include "core/ParameterTable.h"
#include "core/TProgramBank.h"
#include "files/ParameterIndex.h"
#include "files/TPresetsFileManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace quillon {

namespace {

constexpr int kCostRuns = 5;

bool On(const TProgramBank& bank, int slot, int index) {
    return bank.Parameter(slot, index) >= 0.5f;
}

int RowTarget(const TProgramBank& bank, int slot, int row) {
    const int index = describe::RouteTargetIndex(row);
    return static_cast<int>(std::lround(ParameterTable::DisplayValue(index, bank.Parameter(slot, index))));
}

// What the program uses, as words.
std::string InUse(const TProgramBank& bank, int slot, const TProgramBank& fresh) {
    std::string words;
    const auto add = [&](const std::string& word) { words += (words.empty() ? "" : " ") + word; };
    if (On(bank, slot, kDelayEnable)) add("delay");
    if (On(bank, slot, kChorusEnable)) add("chorus");
    if (On(bank, slot, kPhaserEnable)) add("phaser");
    if (On(bank, slot, kReverbEnable)) add("reverb");
    if (bank.Parameter(slot, kNoiseLevel) > 0.0f) add("noise");
    if (On(bank, slot, kFilterEnable)) add("filter");
    // Routings other than the fresh program's (pitch bend to pitch, the wheel to LFO 1's vibrato).
    std::vector<int> routed;
    std::string routes;
    for (int row = 0; row < 6; ++row) {
        const int target = RowTarget(bank, slot, row);
        const int amount = describe::RouteAmountIndex(row);
        if (target == 0 ||
            (target == RowTarget(fresh, 0, row) && bank.Parameter(slot, amount) == fresh.Parameter(0, amount)))
            continue;
        routed.push_back(target);
        std::string caption = describe::RouteTargetCaption(target);
        std::erase(caption, ' ');
        routes += " " + std::string(describe::RouteSourceName(row)) + ">" + caption;
    }
    for (int lfo = 0; lfo < 2; ++lfo) {
        const int base = lfo == 0 ? kLfo1Enable : kLfo2Enable;
        bool used = bank.Parameter(slot, base + 6) > 0.0f || bank.Parameter(slot, base + 7) > 0.0f ||
                    bank.Parameter(slot, base + 8) > 0.0f; // vibrato, filter, tremolo
        for (const int target : routed)
            used = used || (target >= 4 + 3 * lfo && target <= 6 + 3 * lfo);
        if (On(bank, slot, base) && used) add(lfo == 0 ? "lfo1" : "lfo2");
    }
    if (!routes.empty()) add(routes.substr(1));
    return words.empty() ? "-" : words;
}

} // namespace

int ListBank(const std::string& bankPath, bool measure, const std::string& pluginPath) {
    std::vector<std::uint8_t> records(TPresetsFileManager::kBankBytes);
    const Status status =
        TPresetsFileManager().LoadBank(bankPath, TPresetsFileManager::BankSpan(records.data(), records.size()));
    if (!status.Ok()) return cli::Fail("bank: could not read '" + bankPath + "': " + status.message);
    auto bank = std::make_unique<TProgramBank>();
    auto fresh = std::make_unique<TProgramBank>();
    const auto slots = static_cast<int>(TPresetsFileManager::kBankPrograms);
    for (int slot = 0; slot < slots; ++slot) {
        bank->StoreRecord(
            slot, std::span<const std::uint8_t>(records.data() + static_cast<std::size_t>(slot) * record::kRecordSize,
                                                record::kRecordSize));
        bank->RepairRecord(slot);
    }

    double reference = 0.0;
    const std::vector<std::uint8_t> referenceRecord = ReferenceProgram();
    if (measure) {
        if (auto error = EightNoteSeconds(pluginPath, referenceRecord, kCostRuns, reference))
            return cli::Fail("bank: " + *error);
        std::printf("reference (sawtooth, chorus, reverb): %.3f s for 8 notes x 4 s\n", reference);
        std::printf("%-4s %-24s %-4s %6s %8s %7s %8s %-5s %-5s %-5s %5s  %s\n", "slot", "name", "cat", "frames",
                    "peak dB", "Mas@-6", "dc", "onset", "off", "tail", "cpu", "uses");
    } else {
        std::printf("%-4s %-24s %-4s %6s  %s\n", "slot", "name", "cat", "frames", "uses");
    }
    int freshSlots = 0;
    for (int slot = 0; slot < slots; ++slot) {
        const std::string name = bank->Name(slot);
        const std::string uses = InUse(*bank, slot, *fresh);
        if (!measure) {
            std::printf("%-4d %-24s %-4s %6d  %s\n", slot, name.c_str(), ProgramCategory(name).c_str(),
                        bank->FrameCount(slot), uses.c_str());
            continue;
        }
        const std::span<const std::uint8_t> record(
            records.data() + static_cast<std::size_t>(slot) * record::kRecordSize, record::kRecordSize);
        std::vector<std::uint8_t> freshRecord(record::kRecordSize);
        fresh->CopyRecord(slot, freshRecord);
        if (std::equal(record.begin(), record.end(), freshRecord.begin())) {
            ++freshSlots;
            continue;
        }
        TChordMeasures chord;
        if (auto error = MeasureChord(pluginPath, record, chord))
            return cli::Fail("bank: slot " + std::to_string(slot) + ": " + *error);
        double cost = 0.0;
        if (auto error = CostRatio(pluginPath, record, referenceRecord, kCostRuns, cost))
            return cli::Fail("bank: slot " + std::to_string(slot) + ": " + *error);
        // A failed manner shows its measure: the onset's and the release's level ratios, the tail's level.
        char dc[24], onset[16], off[48], tail[16];
        std::snprintf(dc, sizeof dc, chord.NoDc() ? "%.5f" : "%.5f!", chord.dc);
        std::snprintf(onset, sizeof onset, chord.OnsetClean() ? "ok" : "x%.2f", chord.onsetRatio);
        std::snprintf(off, sizeof off, chord.ReleaseClean() ? "ok" : "x%.2f", chord.releaseRatio);
        if (!chord.ReleaseClean())
            std::snprintf(off, sizeof off, "x%.2f/%.2f-%.2f", chord.releaseRatio, chord.heldLow, chord.heldHigh);
        std::snprintf(tail, sizeof tail, chord.TailSilent() ? "ok" : "%.0fdB", chord.tailDb);
        std::printf("%-4d %-24s %-4s %6d %8.1f %7.1f %8s %-5s %-5s %-5s %5.2f  %s\n", slot, name.c_str(),
                    ProgramCategory(name).c_str(), bank->FrameCount(slot), chord.peakDb, chord.masLevelForMinus6, dc,
                    onset, off, tail, cost, uses.c_str());
        std::fflush(stdout);
    }
    if (freshSlots > 0) std::printf("(%d fresh slots not measured)\n", freshSlots);
    return 0;
}

} // namespace quillon
