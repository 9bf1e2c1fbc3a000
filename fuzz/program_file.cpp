// Fuzzes the program and bank file readers. The first byte chooses:
//   bit 1 clear: the rest is a file, loaded by TPresetsFileManager as a program file and as a bank file
//                (refusals with their texts are the expected outcomes of bad input);
//   bit 1 set:   the rest is patches to well-formed records (see RecordPatches.h), stored as a valid
//                program file (bit 0 clear) or bank file (bit 0 set) and loaded through the plug-in's
//                file commands, which must repair whatever the records hold; a note is then played and
//                the output must be finite.
#include "FuzzSupport.h"
#include "RecordPatches.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "files/TPresetsFileManager.h"

#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

// Answers every question with the default and swallows messages: the readers only tell.
class SilentPrompt : public quillon::platform::IUserPrompt {
public:
    void ShowMessage(const std::string&) override {}
    void Ask(const std::string&, quillon::platform::PromptButtons, quillon::platform::TPromptAnswer answer) override {
        answer(quillon::platform::PromptAnswer::kNo);
    }
    void AskSaveBankPath(const std::string&, quillon::platform::TPathAnswer answer) override { answer(std::nullopt); }
};

quillon::TCustomVSTMidiPlugin& Plugin() {
    static quillon::TCustomVSTMidiPlugin* plugin = [] {
        quillon::fuzz::IsolateSettings();
        auto* made = new quillon::TCustomVSTMidiPlugin(quillon::fuzz::HostCallback);
        vst2::AEffect* effect = made->getAeffect();
        effect->dispatcher(effect, vst2::effOpen, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, vst2::effSetSampleRate, 0, 0, nullptr, 44100.0f);
        effect->dispatcher(effect, vst2::effSetBlockSize, 0, 64, nullptr, 0.0f);
        effect->dispatcher(effect, vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
        made->SetUserPrompt(std::make_shared<SilentPrompt>());
        return made;
    }();
    return *plugin;
}

// Stores `records` as a valid program file (one record) or bank file (64) at `path`, through the same
// writer the plug-in saves with.
void SaveRecords(bool bank, const std::vector<std::uint8_t>& records, const std::string& path) {
    using quillon::TPresetsFileManager;
    TPresetsFileManager manager;
    const bool saved =
        bank ? manager
                   .SaveBank(path, TPresetsFileManager::ConstBankSpan(records.data(), TPresetsFileManager::kBankBytes))
                   .Ok()
             : manager
                   .SaveProgram(path,
                                TPresetsFileManager::ConstProgramSpan(records.data(), quillon::record::kRecordSize))
                   .Ok();
    if (!saved) std::abort();
}

void PlayNote(vst2::AEffect* effect) {
    static std::vector<float> left(64), right(64);
    for (int step = 0; step < 5; ++step) {
        if (step == 0 || step == 4) {
            vst2::VstMidiEvent event{};
            event.type = vst2::kVstMidiType;
            event.byteSize = sizeof(event);
            event.midiData[0] = static_cast<char>(step == 0 ? 0x90 : 0x80);
            event.midiData[1] = 64;
            event.midiData[2] = 90;
            vst2::VstEvents events{};
            events.numEvents = 1;
            events.events[0] = reinterpret_cast<vst2::VstEvent*>(&event);
            effect->dispatcher(effect, vst2::effProcessEvents, 0, 0, &events, 0.0f);
        }
        float* outputs[2] = {left.data(), right.data()};
        effect->processReplacing(effect, nullptr, outputs, 64);
        for (std::size_t i = 0; i < 64; ++i)
            if (!std::isfinite(left[i]) || !std::isfinite(right[i])) std::abort();
    }
}

void LoadRawFile(const std::uint8_t* data, std::size_t size) {
    using quillon::TPresetsFileManager;
    static auto bank = std::make_unique<std::vector<std::uint8_t>>(TPresetsFileManager::kBankBytes);
    static std::vector<std::uint8_t> program(quillon::record::kRecordSize);

    const std::string path = quillon::fuzz::WriteInput("input.bp", data, size);
    TPresetsFileManager manager;
    // Every refusal says why.
    const quillon::Status asProgram = manager.LoadProgram(path, TPresetsFileManager::ProgramSpan(program));
    if (!asProgram.Ok() && asProgram.message.empty()) std::abort();
    const quillon::Status asBank = manager.LoadBank(path, TPresetsFileManager::BankSpan(*bank));
    if (!asBank.Ok() && asBank.message.empty()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if ((data[0] & 2) == 0) {
        LoadRawFile(data + 1, size - 1);
        return 0;
    }
    const bool bank = (data[0] & 1) != 0;
    const auto& base = quillon::fuzz::BaseBankImage();
    std::vector<std::uint8_t> records(
        base.begin(), base.begin() + static_cast<std::ptrdiff_t>(bank ? quillon::TPresetsFileManager::kBankBytes
                                                                      : quillon::record::kRecordSize));
    quillon::fuzz::ApplyPatches(records, data + 1, size - 1);
    const std::string path = (quillon::fuzz::WorkFolder() / (bank ? "input.bpb" : "input.bpa")).string();
    SaveRecords(bank, records, path);
    auto& plugin = Plugin();
    const bool loaded = bank ? plugin.LoadBankFile(0, path) : plugin.LoadProgramFile(path);
    if (!loaded) std::abort(); // a well-formed file must load, whatever its records hold
    PlayNote(plugin.getAeffect());
    return 0;
}
