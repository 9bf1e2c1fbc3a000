// Renders a fixed set of songs through `quillon` as a user would (the demo, the analysis round trip,
// every filter type, every effect) and holds them against renders stored in tests/data/stored-renders.txt:
// bit for bit on a machine like the one that stored them (same processor and C library, whose maths
// functions choose their code by processor). Elsewhere a last bit may round differently and the analyser's
// byte rounding or a feedback path may carry it further, so there the sound must match to the ear: RMS per
// 4096-frame window within about 1 dB, and the same length within two windows.
// A restructuring of the code must leave them alone; a change of the sound stores them again:
//   QUILLON_STORE_RENDERS=1 build/quillon-tests --gtest_filter='StoredRenders*'
#include "support/TemporaryDirectory.h"
#include "support/ToolRun.h"
#include "support/WaveFileBytes.h"

#include <gnu/libc-version.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

using namespace quillon::test;

constexpr const char* kStorePath = QUILLON_SOURCE_DIR "/tests/data/stored-renders.txt";
constexpr const char* kDemoSong = QUILLON_SOURCE_DIR "/examples/demo.mid";
constexpr std::size_t kWindow = 4096;  // frames per RMS window
constexpr double kRmsTolerance = 0.12; // relative, about 1 dB

struct TRender {
    std::string hash;        // FNV-1a of the samples' bytes, 16 hex digits
    std::vector<double> rms; // per window, both channels
};

std::string MachineName() {
    std::ifstream cpu("/proc/cpuinfo");
    std::string model = "unknown processor";
    for (std::string line; std::getline(cpu, line);)
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    return model + " | glibc " + gnu_get_libc_version();
}

std::string Fnv1a(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

TRender Measure(const std::string& path) {
    TRender render;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return render;
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    render.hash = Fnv1a(std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * sizeof(float)));
    const std::size_t width = kWindow * static_cast<std::size_t>(info.channels);
    for (std::size_t from = 0; from < samples.size(); from += width) {
        double sum = 0.0;
        const std::size_t to = std::min(samples.size(), from + width);
        for (std::size_t i = from; i < to; ++i)
            sum += static_cast<double>(samples[i]) * samples[i];
        render.rms.push_back(std::sqrt(sum / static_cast<double>(to - from)));
    }
    return render;
}

// The store: a machine line, then per render one line "name hash rms…".
struct TStore {
    std::string machine;
    std::map<std::string, TRender> renders;
};

TStore ReadStore() {
    TStore store;
    std::ifstream in(kStorePath);
    std::getline(in, store.machine);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string name;
        TRender render;
        fields >> name >> render.hash;
        for (double value; fields >> value;)
            render.rms.push_back(value);
        store.renders[name] = render;
    }
    return store;
}

void WriteStore(const std::map<std::string, TRender>& renders) {
    std::ofstream out(kStorePath);
    out << MachineName() << '\n';
    for (const auto& [name, render] : renders) {
        out << name << ' ' << render.hash;
        char value[32];
        for (const double rms : render.rms) {
            std::snprintf(value, sizeof value, " %.9g", rms);
            out << value;
        }
        out << '\n';
    }
}

class StoredRenders : public ::testing::Test {
protected:
    void Tool(const std::vector<std::string>& arguments) {
        const TToolRun run = RunTool(arguments);
        ASSERT_EQ(run.exitCode, 0) << arguments.front() << ": " << run.err;
    }
    // Renders `song` with the program file `program` into a file named after the render.
    void Render(const std::string& name, const std::string& song, const std::string& program) {
        const std::string out = dir / (name + ".wav");
        Tool({"render", song, "-o", out, "--program", program, "--tail-max", "2"});
        renders[name] = Measure(out);
    }

    TemporaryDirectory dir;
    std::map<std::string, TRender> renders;
};

TEST_F(StoredRenders, TheFixedSetSoundsAsStored) {
    const std::string demo = dir / "demo.bpa";
    Tool({"program", "--wave", "saw", "--name", "Demo Saw", "--param", "76=1", "--param", "100=1", "-o", demo});
    Render("demo", kDemoSong, demo);

    // A note with ten harmonics and a slow swell, analysed into a program that plays the demo.
    std::vector<float> note(66150);
    for (std::size_t i = 0; i < note.size(); ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        double sample = 0.0;
        for (int k = 1; k <= 10; ++k)
            sample += std::sin(2.0 * std::numbers::pi * 220.0 * k * t) / (k * (1.0 + t * k));
        note[i] = static_cast<float>(0.3 * std::min(1.0, t * 20.0) * sample);
    }
    WriteFile(dir / "note.wav", Pcm16Wave(note, 1));
    Tool({"analyze", dir / "note.wav", "-o", dir / "note.bpa", "--mode", "medium"});
    Render("analysis", kDemoSong, dir / "note.bpa");

    // Every filter type, resonant and moved by the filter envelope's release and key tracking.
    for (int type = 1; type <= 12; ++type) {
        const std::string program = dir / ("filter" + std::to_string(type) + ".bpa");
        char typeValue[32];
        std::snprintf(typeValue, sizeof typeValue, "14=%.9g", (type - 1) / 31.0);
        Tool({"program", "--wave", "saw", "--param", "13=1", "--param", typeValue, "--param", "15=0.45", "--param",
              "16=0.8", "--param", "19=0.6", "-o", program});
        Render("filter" + std::to_string(type), kDemoSong, program);
    }

    // Every effect at once, with unison and an LFO on the pitch.
    const std::string effects = dir / "effects.bpa";
    Tool({"program", "--wave", "square", "--param", "0=0.5", "--param", "92=1", "--param", "76=1", "--param", "84=1",
          "--param", "100=1", "--param", "34=1", "--param", "40=0.3", "-o", effects});
    Render("effects", kDemoSong, effects);

    if (std::getenv("QUILLON_STORE_RENDERS") != nullptr) {
        WriteStore(renders);
        GTEST_SKIP() << "stored " << renders.size() << " renders in " << kStorePath;
    }
    const TStore store = ReadStore();
    ASSERT_EQ(store.renders.size(), renders.size()) << "no stored renders at " << kStorePath;
    const bool sameMachine = store.machine == MachineName();
    for (const auto& [name, render] : renders) {
        SCOPED_TRACE(name);
        const auto stored = store.renders.find(name);
        ASSERT_NE(stored, store.renders.end());
        if (sameMachine) {
            EXPECT_EQ(render.hash, stored->second.hash);
            continue;
        }
        const std::vector<double>& old = stored->second.rms;
        const std::size_t common = std::min(render.rms.size(), old.size());
        EXPECT_LE(std::max(render.rms.size(), old.size()) - common, 2u);
        for (std::size_t w = 0; w < common; ++w)
            ASSERT_NEAR(render.rms[w], old[w], kRmsTolerance * old[w] + 1e-4) << "window " << w;
    }
}

} // namespace
} // namespace quillon
