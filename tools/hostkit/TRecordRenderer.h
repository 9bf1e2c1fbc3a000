// Plays a program record through a plug-in loaded as a VST 2 library, offline: the record goes in as the
// current program's chunk, MIDI events at given frames, and the first two output channels come back. The
// authoring commands measure programs with it (`quillon fidelity`, `quillon bank --list --measure`).
//
// Threads: one thread drives a renderer, as a host's audio thread would [gui].
#pragma once

#include "hostkit/TPluginHost.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

class TRecordRenderer {
public:
    // A MIDI event at `frame`, counted from the first rendered frame.
    struct TEvent {
        std::int64_t frame;
        std::uint8_t status, data1, data2;
    };

    TRecordRenderer() = default;
    ~TRecordRenderer() { Stop(); }
    TRecordRenderer(const TRecordRenderer&) = delete;
    TRecordRenderer& operator=(const TRecordRenderer&) = delete;

    // Loads the plug-in for offline rendering at `rate` Hz in blocks of `block` frames, gives it `record` (a
    // program record) as its program, sets `parameters` (index, normalised value) and resumes it. An error
    // text when the plug-in cannot be loaded, cannot render or refuses the program.
    std::optional<std::string> Start(const std::string& pluginPath, std::span<const std::uint8_t> record, int rate,
                                     int block, std::span<const std::pair<vst2::VstInt32, float>> parameters = {});
    // Renders `frames` more frames, handing over the events that fall within them (events before the
    // current position go with the first block), and appends the left and right outputs (a mono plug-in's
    // output to both). `right` may be null.
    std::optional<std::string> Render(std::int64_t frames, std::span<const TEvent> events, std::vector<float>& left,
                                      std::vector<float>* right = nullptr);
    // Frames rendered since Start.
    std::int64_t Position() const { return position_; }
    // Suspends and unloads the plug-in.
    void Stop();

private:
    std::unique_ptr<TPluginHost> host_;
    int block_ = 512;
    std::int64_t position_ = 0;
    std::vector<std::vector<float>> inputs_, outputs_;
    std::vector<float*> inputPointers_, outputPointers_;
    std::vector<vst2::VstMidiEvent> blockEvents_;
};

} // namespace quillon
