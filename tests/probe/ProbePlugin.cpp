// A minimal VST 2 instrument for the host tool's tests. It records what the host does to it and, when
// the environment variable QUILLON_PROBE_LOG names a file, writes that record there at effClose:
//   call open | rate HZ | block N | program N | chunk ISPRESET SIZE | param INDEX VALUE | resume | suspend
//   block INDEX FRAMES SAMPLEPOS PPQ TEMPO FLAGS LEVEL   (one per processReplacing: the host's time
//                                                        information and process level at that call)
//   event BLOCK DELTA STATUS DATA1 DATA2                  (each MIDI event handed over for that block)
// and the last chunk's bytes to QUILLON_PROBE_LOG.chunk.
//
// Its sound is a plain envelope that shows where events landed: both outputs hold 0.5 from the exact
// frame of a note-on for as long as any note is held, then fall by a factor e every 50 ms. It takes
// only chunks that begin like a zlib stream (first byte 0x78) and refuses others.
#include "host/vst2.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace vst2;

constexpr double kHeldLevel = 0.5;
constexpr double kReleaseSeconds = 0.05; // time constant of the fall after the last note-off
constexpr std::size_t kMaxBlocks = 1 << 16;
constexpr std::size_t kMaxEvents = 1 << 16;

struct TBlockRecord {
    VstInt32 frames;
    double samplePos, ppqPos, tempo;
    VstInt32 flags;
    VstIntPtr level;
};

struct TEventRecord {
    std::size_t block;
    VstInt32 delta;
    unsigned status, data1, data2;
};

struct TProbe {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    double rate = 44100.0;
    std::vector<std::string> calls;
    std::vector<unsigned char> chunk;
    float parameters[8] = {};
    // Filled while processing, into storage reserved at creation.
    std::vector<TBlockRecord> blocks;
    std::vector<TEventRecord> events;
    std::size_t pendingFirst = 0; // first event of the coming block in `events`
    int held = 0;
    double level = 0.0;

    void WriteLog() const {
        const char* path = std::getenv("QUILLON_PROBE_LOG");
        if (path == nullptr) return;
        if (std::FILE* log = std::fopen(path, "w")) {
            for (const std::string& call : calls)
                std::fprintf(log, "call %s\n", call.c_str());
            for (std::size_t i = 0; i < blocks.size(); ++i) {
                const TBlockRecord& b = blocks[i];
                std::fprintf(log, "block %zu %d %.17g %.17g %.17g %d %ld\n", i, b.frames, b.samplePos, b.ppqPos,
                             b.tempo, b.flags, static_cast<long>(b.level));
            }
            for (const TEventRecord& e : events)
                std::fprintf(log, "event %zu %d %u %u %u\n", e.block, e.delta, e.status, e.data1, e.data2);
            std::fclose(log);
        }
        if (std::FILE* out = std::fopen((std::string(path) + ".chunk").c_str(), "wb")) {
            if (!chunk.empty()) std::fwrite(chunk.data(), 1, chunk.size(), out);
            std::fclose(out);
        }
    }

    void Handle(unsigned status, unsigned velocity) {
        const unsigned kind = status & 0xF0;
        if (kind == 0x90 && velocity > 0) {
            ++held;
        } else if ((kind == 0x80 || kind == 0x90) && held > 0) {
            --held;
        }
    }
};

TProbe* Probe(AEffect* effect) {
    return static_cast<TProbe*>(effect->object);
}

VstIntPtr Dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    TProbe& probe = *Probe(effect);
    switch (opcode) {
    case effOpen:
        probe.calls.push_back("open");
        return 0;
    case effClose:
        probe.calls.push_back("close");
        probe.WriteLog();
        delete &probe;
        return 1;
    case effSetSampleRate:
        probe.rate = opt;
        probe.calls.push_back("rate " + std::to_string(static_cast<long>(opt)));
        return 0;
    case effSetBlockSize:
        probe.calls.push_back("block " + std::to_string(value));
        return 0;
    case effSetProgram:
        probe.calls.push_back("program " + std::to_string(value));
        return 0;
    case effMainsChanged:
        probe.calls.push_back(value != 0 ? "resume" : "suspend");
        return 0;
    case effSetChunk: {
        const auto* bytes = static_cast<const unsigned char*>(ptr);
        probe.calls.push_back("chunk " + std::to_string(index) + " " + std::to_string(value));
        if (value <= 0 || bytes == nullptr || bytes[0] != 0x78) return 0;
        probe.chunk.assign(bytes, bytes + value);
        return 1;
    }
    case effProcessEvents: {
        const auto* list = static_cast<const VstEvents*>(ptr);
        for (VstInt32 i = 0; i < list->numEvents && probe.events.size() < kMaxEvents; ++i) {
            const VstEvent* event = list->events[i];
            if (event->type != kVstMidiType) continue;
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
            probe.events.push_back(
                {probe.blocks.size(), midi->deltaFrames, static_cast<unsigned char>(midi->midiData[0]),
                 static_cast<unsigned char>(midi->midiData[1]), static_cast<unsigned char>(midi->midiData[2])});
        }
        return 1;
    }
    case effCanDo:
        return 0;
    default:
        return 0;
    }
}

void ProcessReplacing(AEffect* effect, float** /*inputs*/, float** outputs, VstInt32 frames) {
    TProbe& probe = *Probe(effect);
    const auto* time = reinterpret_cast<const VstTimeInfo*>(probe.host(effect, audioMasterGetTime, 0, 0, nullptr, 0));
    const VstIntPtr level = probe.host(effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0);
    if (probe.blocks.size() < kMaxBlocks) {
        probe.blocks.push_back(
            time != nullptr ? TBlockRecord{frames, time->samplePos, time->ppqPos, time->tempo, time->flags, level}
                            : TBlockRecord{frames, -1.0, -1.0, -1.0, 0, level});
    }

    const double fall = std::exp(-1.0 / (kReleaseSeconds * probe.rate));
    std::size_t next = probe.pendingFirst;
    const std::size_t block = probe.blocks.size() - 1;
    for (VstInt32 i = 0; i < frames; ++i) {
        for (; next < probe.events.size() && probe.events[next].block == block && probe.events[next].delta <= i; ++next)
            probe.Handle(probe.events[next].status, probe.events[next].data2);
        probe.level = probe.held > 0 ? kHeldLevel : probe.level * fall;
        outputs[0][i] = outputs[1][i] = static_cast<float>(probe.level);
    }
    probe.pendingFirst = probe.events.size();
}

void SetParameter(AEffect* effect, VstInt32 index, float value) {
    TProbe& probe = *Probe(effect);
    if (index < 0 || index >= 8) return;
    probe.parameters[index] = value;
    char text[64];
    std::snprintf(text, sizeof text, "param %d %.6f", index, static_cast<double>(value));
    probe.calls.push_back(text);
}

float GetParameter(AEffect* effect, VstInt32 index) {
    return index >= 0 && index < 8 ? Probe(effect)->parameters[index] : 0.0f;
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    auto* probe = new TProbe;
    probe->host = host;
    probe->blocks.reserve(kMaxBlocks);
    probe->events.reserve(kMaxEvents);
    AEffect& e = probe->effect;
    e.magic = kEffectMagic;
    e.dispatcher = &Dispatcher;
    e.setParameter = &SetParameter;
    e.getParameter = &GetParameter;
    e.processReplacing = &ProcessReplacing;
    e.numPrograms = 2;
    e.numParams = 8;
    e.numInputs = 0;
    e.numOutputs = 2;
    e.flags = effFlagsIsSynth | effFlagsCanReplacing | effFlagsProgramChunks;
    e.uniqueID = FourCC('Q', 'P', 'r', 'b');
    e.version = 1;
    e.object = probe;
    return &e;
}
