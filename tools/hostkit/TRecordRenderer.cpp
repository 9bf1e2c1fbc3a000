#include "hostkit/TRecordRenderer.h"

#include "files/TPresetsFileManager.h"
#include "hostkit/TProgramFileChunk.h"

#include <algorithm>

namespace quillon {

using namespace vst2;

std::optional<std::string> TRecordRenderer::Start(const std::string& pluginPath, std::span<const std::uint8_t> record,
                                                  int rate, int block,
                                                  std::span<const std::pair<VstInt32, float>> parameters) {
    Stop();
    if (record.size() != record::kRecordSize)
        return "a program record has " + std::to_string(record::kRecordSize) + " bytes";
    std::vector<std::uint8_t> fileBytes;
    const Status composed = TPresetsFileManager::ComposeProgram(
        TPresetsFileManager::ConstProgramSpan(record.data(), record::kRecordSize), fileBytes);
    if (!composed.Ok()) return "could not compose the program: " + composed.message;
    TProgramFileChunk chunk;
    if (!chunk.FromProgramFile(fileBytes)) return chunk.Error();

    TPluginHost::TSettings settings;
    settings.sampleRate = static_cast<float>(rate);
    settings.blockSize = block;
    settings.processLevel = kVstProcessLevelOffline;
    host_ = std::make_unique<TPluginHost>(settings);
    if (!host_->Load(pluginPath)) {
        std::string error = host_->Error();
        host_.reset();
        return error;
    }
    const AEffect& effect = *host_->Effect();
    if (effect.processReplacing == nullptr || effect.numOutputs < 1 || effect.numInputs < 0) {
        Stop();
        return "the plug-in cannot render audio";
    }
    host_->Open();
    host_->SetSampleRate(static_cast<float>(rate));
    host_->SetBlockSize(block);
    if (auto refused = SendSounds(*host_, chunk, 0, "the program")) {
        Stop();
        return refused;
    }
    for (const auto& [index, value] : parameters)
        host_->SetParameter(index, value);
    host_->Resume();

    block_ = block;
    position_ = 0;
    inputs_.assign(static_cast<std::size_t>(effect.numInputs), std::vector<float>(static_cast<std::size_t>(block)));
    outputs_.assign(static_cast<std::size_t>(effect.numOutputs), std::vector<float>(static_cast<std::size_t>(block)));
    inputPointers_.clear();
    outputPointers_.clear();
    for (auto& channel : inputs_)
        inputPointers_.push_back(channel.data());
    for (auto& channel : outputs_)
        outputPointers_.push_back(channel.data());
    return std::nullopt;
}

std::optional<std::string> TRecordRenderer::Render(std::int64_t frames, std::span<const TEvent> events,
                                                   std::vector<float>& left, std::vector<float>* right) {
    if (!host_) return "no plug-in is rendering";
    const std::int64_t end = position_ + frames;
    const std::size_t last = outputs_.size() > 1 ? 1 : 0;
    const std::int64_t start = position_;
    while (position_ < end) {
        const auto count = static_cast<VstInt32>(std::min<std::int64_t>(block_, end - position_));
        blockEvents_.clear();
        for (const TEvent& e : events) {
            const bool late = e.frame < position_ && position_ == start; // before this call: now
            if (e.frame >= position_ + count || (e.frame < position_ && !late)) continue;
            const auto delta = static_cast<VstInt32>(std::max<std::int64_t>(0, e.frame - position_));
            blockEvents_.push_back(TPluginHost::MidiEvent(delta, e.status, e.data1, e.data2));
        }
        if (!blockEvents_.empty()) host_->SendMidiEvents(blockEvents_);
        for (auto& channel : outputs_)
            std::fill(channel.begin(), channel.end(), 0.0f);
        if (!host_->ProcessReplacing(inputPointers_, outputPointers_, count))
            return "the plug-in could not process a block";
        left.insert(left.end(), outputs_[0].begin(), outputs_[0].begin() + count);
        if (right) right->insert(right->end(), outputs_[last].begin(), outputs_[last].begin() + count);
        position_ += count;
    }
    return std::nullopt;
}

void TRecordRenderer::Stop() {
    if (!host_) return;
    host_->Suspend();
    host_->Unload();
    host_.reset();
}

} // namespace quillon
