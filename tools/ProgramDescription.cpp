#include "ProgramDescription.h"

#include "DescriptionParameters.h"
#include "HarmonyText.h"
#include "TextStatements.h"
#include "core/TProgramBank.h"
#include "engine/THarmonyFrame.h"
#include "engine/THarmonyModel.h"
#include "files/ParameterIndex.h"
#include "files/THarmonyFileManager.h"
#include "files/TPresetsFileManager.h"
#include "platform/ReadWholeFile.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <set>

namespace quillon {

namespace {

using text::TStatement;
using TLevels = std::array<std::uint8_t, record::kHarmonicCount>;

constexpr int kMaxPrograms = 64;
constexpr std::size_t kMaxDescriptionBytes = 16 << 20;
constexpr std::uint8_t kSilentLevel = 255;
constexpr std::uint8_t kZeroPhase = 128;
constexpr int kHighestHarmonic = record::kHarmonicCount - 1;

// Harmony shapes in the order of THarmonyFrame::FillShape.
constexpr const char* kShapes[] = {"saw",  "square", "triangle", "pulse6", "pulse12", "pulse25",
                                   "tri3", "tri6",   "tri12",    "tri25",  "random"};
constexpr int kRandomShape = 10;

struct TEnvelopeName {
    const char* name;
    int envelope;
    int loopEnable;
};
constexpr TEnvelopeName kEnvelopes[] = {{"amp", record::kAmplitudeEnvelope, kAmpLoopEnable},
                                        {"filter", record::kFilterEnvelope, kFilterLoopEnable},
                                        {"pitch", record::kPitchEnvelope, kPitchLoopEnable},
                                        {"lfo1", record::kLfo1Envelope, kLfo1LoopEnable},
                                        {"lfo2", record::kLfo2Envelope, kLfo2LoopEnable}};

// Adds `decibels` to a level byte (0.5 dB steps of attenuation); silent stays silent, and a level pushed
// beyond the softest step falls silent.
std::uint8_t AddDecibels(std::uint8_t level, double decibels) {
    if (level == kSilentLevel) return level;
    const double shifted = std::nearbyint(level - 2.0 * decibels);
    return static_cast<std::uint8_t>(std::clamp(shifted, 0.0, 255.0));
}

void Tilt(TLevels& levels, double decibels) {
    for (int k = 1; k <= kHighestHarmonic; ++k)
        levels[static_cast<std::size_t>(k)] = AddDecibels(levels[static_cast<std::size_t>(k)], decibels * std::log2(k));
}

bool IsTime(const std::optional<float>& value) {
    return value && *value >= 0.0f;
}

class TCompiler {
public:
    TCompiler(std::string name, std::string folder) : name_(std::move(name)), folder_(std::move(folder)) {}

    std::optional<std::string> Compile(std::span<const TStatement> statements, int slot, TProgramBank& bank);

private:
    struct TPlacedFrame {
        int line;
        THarmonyTextFrame frame;
    };
    struct TAdjustment {
        int line;
        float time;
        double decibels;
    };

    std::string Error(const TStatement& s, const std::string& message) const {
        return text::At(name_, s.line, message);
    }
    std::string Path(const std::string& file) const {
        const std::filesystem::path path = platform::PathFromUtf8(file);
        return path.is_absolute() || folder_.empty() ? file
                                                     : platform::Utf8FromPath(platform::PathFromUtf8(folder_) / path);
    }

    std::optional<std::string> Frame(const TStatement& s);
    std::optional<std::string> ShapeFrame(const TStatement& s, float time, int shape);
    std::optional<std::string> LevelsFrame(const TStatement& s, float time);
    std::optional<std::string> Harmony(const TStatement& s);
    std::optional<std::string> Envelope(const TStatement& s, int slot, TProgramBank& bank);
    std::optional<std::string> PlaceFrames(int slot, TProgramBank& bank);

    std::string name_;
    std::string folder_;
    std::vector<TPlacedFrame> frames_;
    std::vector<TAdjustment> adjustments_;
    std::optional<std::mt19937> random_;
    describe::TParameterValues values_{};
};

std::optional<std::string> TCompiler::Compile(std::span<const TStatement> statements, int slot, TProgramBank& bank) {
    for (int i = 0; i < record::kParameterCount; ++i)
        values_[static_cast<std::size_t>(i)] = bank.Parameter(slot, i);
    // The seed counts wherever it stands in the program.
    for (const TStatement& s : statements) {
        if (s.words.front() != "seed") continue;
        const auto seed = s.words.size() == 2 ? text::IntegerWord(s.words[1]) : std::nullopt;
        if (!seed || *seed < 0 || *seed > 0xFFFFFFFFll) return Error(s, "seed needs an unsigned 32-bit integer");
        if (random_) return Error(s, "a second seed");
        random_.emplace(static_cast<std::uint32_t>(*seed));
    }
    for (const TStatement& s : statements) {
        const std::string& verb = s.words.front();
        const std::size_t n = s.words.size();
        std::optional<std::string> error;
        if (verb == "frame") {
            error = Frame(s);
        } else if (verb == "harmony") {
            error = Harmony(s);
        } else if (verb == "brighten" || verb == "soften") {
            const auto time = n == 3 ? text::FloatWord(s.words[1]) : std::nullopt;
            const auto db = n == 3 ? text::FloatWord(s.words[2]) : std::nullopt;
            if (!IsTime(time) || !db) return Error(s, verb + " needs TIME DB");
            adjustments_.push_back({s.line, *time, verb == "brighten" ? *db : -*db});
        } else if (verb == "harmony-loop") {
            const float start = n == 3 ? text::FloatWord(s.words[1]).value_or(-1.0f) : -1.0f;
            const float end = n == 3 ? text::FloatWord(s.words[2]).value_or(-1.0f) : -1.0f;
            if (start < 0.0f || end < start)
                return Error(s, "harmony-loop needs START END, seconds with 0 <= START <= END");
            bank.SetHarmonyLoop(slot, start, end);
            values_[kHarmonyLoopEnable] = 1.0f;
        } else if (verb == "seed") {
            continue;
        } else if (verb == "env" || verb == "env-loop") {
            error = Envelope(s, slot, bank);
        } else if (verb == "set") {
            if (n < 2) return Error(s, "set needs NAME=VALUE");
            for (std::size_t i = 1; i < n; ++i) {
                const std::string& word = s.words[i];
                const std::size_t equals = word.find('=');
                if (equals == std::string::npos || equals == 0 || equals + 1 == word.size())
                    return Error(s, "'" + word + "' is not NAME=VALUE");
                int index = 0;
                if (auto e = describe::ResolveParameter(word.substr(0, equals), index)) return Error(s, *e);
                if (auto e = describe::SetParameter(index, word.substr(equals + 1), values_)) return Error(s, *e);
            }
        } else if (verb == "route") {
            if (n != 4) return Error(s, "route needs SOURCE TARGET AMOUNT");
            if (auto e = describe::SetRoute(s.words[1], s.words[2], s.words[3], values_)) return Error(s, *e);
        } else if (verb == "bank" || verb == "program") {
            return Error(s, "'" + verb + "' cannot stand here");
        } else {
            return Error(s, "unknown statement '" + verb + "'");
        }
        if (error) return error;
    }
    if (auto error = PlaceFrames(slot, bank)) return error;
    for (int i = 0; i < record::kParameterCount; ++i)
        bank.SetParameter(slot, i, values_[static_cast<std::size_t>(i)]);
    return std::nullopt;
}

std::optional<std::string> TCompiler::Frame(const TStatement& s) {
    const auto time = s.words.size() >= 3 ? text::FloatWord(s.words[1]) : std::nullopt;
    if (!IsTime(time)) return Error(s, "frame needs TIME (seconds, 0 or more) and a shape, levels or sine");
    const std::string& kind = s.words[2];
    if (kind == "levels") return LevelsFrame(s, *time);
    if (kind == "sine") {
        if (s.words.size() != 3) return Error(s, "frame TIME sine takes nothing more");
        THarmonyTextFrame frame = THarmonyTextFrame::Silent(*time);
        frame.levels[1] = 0;
        frames_.push_back({s.line, frame});
        return std::nullopt;
    }
    for (int shape = 0; shape < static_cast<int>(std::size(kShapes)); ++shape)
        if (kind == kShapes[shape]) return ShapeFrame(s, *time, shape);
    return Error(s, "unknown shape '" + kind +
                        "' (saw square triangle pulse6 pulse12 pulse25 tri3 tri6 tri12 tri25 random, levels, sine)");
}

std::optional<std::string> TCompiler::ShapeFrame(const TStatement& s, float time, int shape) {
    int count = THarmonyModel::kDefaultHarmonics;
    double tilt = 0.0, odd = 0.0, even = 0.0;
    int cut = kHighestHarmonic;
    std::set<std::string> given;
    for (std::size_t i = 3; i < s.words.size(); i += 2) {
        const std::string& option = s.words[i];
        if (i + 1 >= s.words.size()) return Error(s, "'" + option + "' needs a value");
        if (!given.insert(option).second) return Error(s, "'" + option + "' given twice");
        const std::string& value = s.words[i + 1];
        if (option == "harmonics" || option == "cut") {
            const auto number = text::IntegerWord(value);
            if (!number || *number < 1 || *number > kHighestHarmonic)
                return Error(
                    s, std::string(option).append(" needs a harmonic number 1..250, not '").append(value).append("'"));
            (option == "harmonics" ? count : cut) = static_cast<int>(*number);
        } else if (option == "tilt" || option == "odd" || option == "even") {
            const auto db = text::FloatWord(value);
            if (!db) return Error(s, std::string(option).append(" needs decibels, not '").append(value).append("'"));
            (option == "tilt" ? tilt : option == "odd" ? odd : even) = *db;
        } else {
            return Error(s, "unknown frame option '" + option + "' (harmonics tilt odd even cut)");
        }
    }
    if (shape == kRandomShape && !random_)
        return Error(s, "the random shape needs a seed statement in the program (seed S)");
    THarmonyFrame generated;
    std::mt19937 unused(0);
    generated.FillShape(shape, count, random_ ? *random_ : unused);
    THarmonyTextFrame frame = THarmonyTextFrame::Silent(time);
    for (int k = 1; k <= kHighestHarmonic; ++k) {
        const auto at = static_cast<std::size_t>(k);
        frame.levels[at] = static_cast<std::uint8_t>(generated.LevelByte(k));
        frame.phases[at] = static_cast<std::uint8_t>(generated.PhaseByte(k) & 0xFF);
        if (k > cut) frame.levels[at] = kSilentLevel;
        if (k > 1 && k % 2 == 1) frame.levels[at] = AddDecibels(frame.levels[at], odd);
        if (k % 2 == 0) frame.levels[at] = AddDecibels(frame.levels[at], even);
    }
    Tilt(frame.levels, tilt);
    frames_.push_back({s.line, frame});
    return std::nullopt;
}

std::optional<std::string> TCompiler::LevelsFrame(const TStatement& s, float time) {
    THarmonyTextFrame frame = THarmonyTextFrame::Silent(time);
    std::set<int> given;
    for (std::size_t i = 3; i < s.words.size(); ++i) {
        const std::string& word = s.words[i];
        const std::size_t colon = word.find(':');
        const long long k = colon == std::string::npos ? -1 : text::IntegerWord(word.substr(0, colon)).value_or(-1);
        const std::string dbText = colon == std::string::npos ? std::string() : word.substr(colon + 1);
        const float db = dbText == "-inf" ? -1000.0f : text::FloatWord(dbText).value_or(1.0f);
        if (k < 1 || k > kHighestHarmonic || db > 0.0f)
            return Error(s, "'" + word + "' is not K:DB with K 1..250 and DB at most 0 (or -inf)");
        if (!given.insert(static_cast<int>(k)).second)
            return Error(s, "harmonic " + std::to_string(k) + " given twice");
        frame.levels[static_cast<std::size_t>(k)] =
            db < -127.5f ? kSilentLevel : static_cast<std::uint8_t>(std::clamp(std::nearbyint(-2.0 * db), 0.0, 255.0));
    }
    frames_.push_back({s.line, frame});
    return std::nullopt;
}

std::optional<std::string> TCompiler::Harmony(const TStatement& s) {
    if (s.words.size() < 2) return Error(s, "harmony needs a FILE (.qh, .bpa or .bha)");
    double from = 0.0, to = INFINITY, shift = 0.0, scale = 1.0;
    std::set<std::string> given;
    for (std::size_t i = 2; i < s.words.size(); i += 2) {
        const std::string& option = s.words[i];
        if (i + 1 >= s.words.size()) return Error(s, "'" + option + "' needs a value");
        if (!given.insert(option).second) return Error(s, "'" + option + "' given twice");
        const auto value = text::FloatWord(s.words[i + 1]);
        if (option == "from" || option == "to") {
            if (!IsTime(value)) return Error(s, option + " needs seconds (0 or more)");
            (option == "from" ? from : to) = *value;
        } else if (option == "shift") {
            if (!value) return Error(s, "shift needs seconds");
            shift = *value;
        } else if (option == "scale") {
            if (!value || *value <= 0.0f) return Error(s, "scale needs a factor above 0");
            scale = *value;
        } else {
            return Error(s, "unknown harmony option '" + option + "' (from to shift scale)");
        }
    }
    const std::string& file = s.words[1];
    const std::string path = Path(file);
    const std::string extension = [&] {
        std::string e = platform::Utf8FromPath(platform::PathFromUtf8(file).extension());
        std::transform(e.begin(), e.end(), e.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return e;
    }();
    std::vector<THarmonyTextFrame> source;
    if (extension == ".qh") {
        THarmonyText harmony;
        if (auto error = ReadHarmonyText(path, harmony)) return Error(s, *error);
        source = harmony.frames;
    } else if (extension == ".bha") {
        THarmonyFileManager harmony;
        if (const Status status = harmony.Load(path); !status.Ok()) return Error(s, file + ": " + status.message);
        THarmonyTextFrame frame = THarmonyTextFrame::Silent(0.0f);
        std::copy(harmony.levels.begin() + 1, harmony.levels.end(), frame.levels.begin() + 1);
        std::copy(harmony.phases.begin() + 1, harmony.phases.end(), frame.phases.begin() + 1);
        source.push_back(frame);
    } else if (extension == ".bpa") {
        std::vector<std::uint8_t> record(record::kRecordSize);
        const Status status =
            TPresetsFileManager().LoadProgram(path, TPresetsFileManager::ProgramSpan(record.data(), record.size()));
        if (!status.Ok()) return Error(s, file + ": " + status.message);
        auto bank = std::make_unique<TProgramBank>();
        bank->StoreRecord(0, record);
        bank->RepairRecord(0);
        for (int f = 0; f < bank->FrameCount(0); ++f) {
            THarmonyTextFrame frame = THarmonyTextFrame::Silent(bank->FrameTime(0, f));
            for (int k = 1; k <= kHighestHarmonic; ++k) {
                frame.levels[static_cast<std::size_t>(k)] = bank->Level(0, f, k);
                frame.phases[static_cast<std::size_t>(k)] = bank->Phase(0, f, k);
            }
            source.push_back(frame);
        }
    } else {
        return Error(s, "harmony reads .qh, .bpa or .bha files, not '" + file + "'");
    }
    int taken = 0;
    for (THarmonyTextFrame frame : source) {
        if (frame.time < from || frame.time > to) continue;
        const double time = (frame.time - from) * scale + shift;
        if (!(time >= 0.0))
            return Error(s, "frame at " + text::FloatText(frame.time) + " s of " + file + " would lie before 0 s");
        frame.time = static_cast<float>(time);
        frames_.push_back({s.line, frame});
        ++taken;
    }
    if (taken == 0) return Error(s, "no frames of " + file + " lie between from and to");
    return std::nullopt;
}

std::optional<std::string> TCompiler::Envelope(const TStatement& s, int slot, TProgramBank& bank) {
    const std::string& verb = s.words.front();
    const TEnvelopeName* envelope = nullptr;
    if (s.words.size() >= 2)
        for (const TEnvelopeName& e : kEnvelopes)
            if (s.words[1] == e.name) envelope = &e;
    if (!envelope) return Error(s, verb + " needs an envelope name (amp filter pitch lfo1 lfo2)");
    if (verb == "env-loop") {
        const float start = s.words.size() == 4 ? text::FloatWord(s.words[2]).value_or(-1.0f) : -1.0f;
        const float end = s.words.size() == 4 ? text::FloatWord(s.words[3]).value_or(-1.0f) : -1.0f;
        if (start < 0.0f || end < start)
            return Error(s, "env-loop needs NAME START END, seconds with 0 <= START <= END");
        bank.SetEnvelopeLoop(slot, envelope->envelope, start, end);
        values_[static_cast<std::size_t>(envelope->loopEnable)] = 1.0f;
        return std::nullopt;
    }
    const std::size_t count = s.words.size() - 2;
    if (count < 1 || count > static_cast<std::size_t>(record::kMaxEnvelopePoints))
        return Error(s, "env needs 1 to 100 points T:L");
    float previous = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& word = s.words[i + 2];
        const std::size_t colon = word.find(':');
        const auto time = colon == std::string::npos ? std::nullopt : text::FloatWord(word.substr(0, colon));
        const auto level = colon == std::string::npos ? std::nullopt : text::FloatWord(word.substr(colon + 1));
        if (!IsTime(time) || !level || *level < 0.0f || *level > 1.0f)
            return Error(s, "'" + word + "' is not a point T:L (seconds, level 0..1)");
        if (i == 0 && *time != 0.0f) return Error(s, "the first point of an envelope lies at time 0");
        if (*time < previous) return Error(s, "'" + word + "': point times must ascend");
        previous = *time;
        bank.SetPoint(slot, envelope->envelope, static_cast<int>(i), *time, *level);
    }
    bank.SetPointCount(slot, envelope->envelope, static_cast<int>(count));
    return std::nullopt;
}

std::optional<std::string> TCompiler::PlaceFrames(int slot, TProgramBank& bank) {
    if (frames_.empty()) {
        if (!adjustments_.empty()) return text::At(name_, adjustments_.front().line, "no frame to brighten or soften");
        return std::nullopt;
    }
    std::stable_sort(frames_.begin(), frames_.end(),
                     [](const TPlacedFrame& a, const TPlacedFrame& b) { return a.frame.time < b.frame.time; });
    if (frames_.size() > static_cast<std::size_t>(record::kMaxFrames))
        return text::At(name_, frames_[record::kMaxFrames].line,
                        "more than 100 frames (" + std::to_string(frames_.size()) + ")");
    if (frames_.front().frame.time != 0.0f)
        return text::At(name_, frames_.front().line,
                        "the first frame lies at " + text::FloatText(frames_.front().frame.time) + " s, not at 0");
    for (std::size_t i = 1; i < frames_.size(); ++i)
        if (frames_[i].frame.time == frames_[i - 1].frame.time)
            return text::At(name_, frames_[i].line,
                            "two frames at " + text::FloatText(frames_[i].frame.time) + " s (also line " +
                                std::to_string(frames_[i - 1].line) + ")");
    for (const TAdjustment& adjustment : adjustments_) {
        const auto placed = std::find_if(frames_.begin(), frames_.end(), [&](const TPlacedFrame& p) {
            return std::fabs(p.frame.time - adjustment.time) <= 1e-6f;
        });
        if (placed == frames_.end())
            return text::At(name_, adjustment.line, "no frame at " + text::FloatText(adjustment.time) + " s");
        Tilt(placed->frame.levels, adjustment.decibels);
    }
    bank.SetFrameCount(slot, static_cast<int>(frames_.size()));
    for (std::size_t f = 0; f < frames_.size(); ++f) {
        const THarmonyTextFrame& frame = frames_[f].frame;
        const int index = static_cast<int>(f);
        bank.SetFrameTime(slot, index, frame.time);
        bank.SetLevel(slot, index, 0, kSilentLevel);
        bank.SetPhase(slot, index, 0, kZeroPhase);
        for (int k = 1; k <= kHighestHarmonic; ++k) {
            bank.SetLevel(slot, index, k, frame.levels[static_cast<std::size_t>(k)]);
            bank.SetPhase(slot, index, k, frame.phases[static_cast<std::size_t>(k)]);
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckName(const std::string& name) {
    if (name.empty() || name.size() > static_cast<std::size_t>(record::kNameLength))
        return "a program name has 1 to 24 characters, not " + std::to_string(name.size());
    for (const char c : name)
        if (c < 0x20 || c > 0x7E) return "a program name holds printable ASCII characters only";
    const std::string category = ProgramCategory(name);
    const bool upper = std::all_of(category.begin(), category.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    if (category.size() < 2 || category.size() > 4 || !upper)
        return "a program name starts with its category, 2 to 4 upper-case letters (PAD, BAS, LEA ...), not '" +
               category + "'";
    return std::nullopt;
}

} // namespace

std::string ProgramCategory(const std::string& name) {
    return name.substr(0, name.find(' '));
}

std::optional<std::string> CompileDescription(std::string_view content, const std::string& name,
                                              const std::string& folder, TProgramDescription& description) {
    std::vector<TStatement> statements;
    if (auto error = text::SplitStatements(content, name, statements)) return error;
    TProgramDescription compiled;
    struct TRange {
        std::size_t first, end;
    };
    std::vector<TRange> ranges;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        const TStatement& s = statements[i];
        const std::string& verb = s.words.front();
        if (verb == "bank") {
            if (i != 0) return text::At(name, s.line, "bank can only be the first statement");
            if (s.words.size() != 2) return text::At(name, s.line, "bank needs one title (quote it)");
            compiled.title = s.words[1];
        } else if (verb == "program") {
            if (s.words.size() != 2) return text::At(name, s.line, "program needs one name (quote it)");
            if (auto error = CheckName(s.words[1])) return text::At(name, s.line, *error);
            for (const TDescribedProgram& other : compiled.programs)
                if (other.name == s.words[1])
                    return text::At(name, s.line,
                                    "a second program \"" + other.name + "\" (line " + std::to_string(other.line) +
                                        ")");
            if (compiled.programs.size() == static_cast<std::size_t>(kMaxPrograms))
                return text::At(name, s.line, "more than 64 programs");
            compiled.programs.push_back({s.words[1], s.line, {}});
            ranges.push_back({i + 1, i + 1});
        } else if (ranges.empty()) {
            return text::At(name, s.line, "'" + verb + "' before the first program statement");
        } else {
            ranges.back().end = i + 1;
        }
    }
    if (compiled.programs.empty())
        return text::At(name, statements.empty() ? 1 : statements.back().line, "no programs");

    auto bank = std::make_unique<TProgramBank>(); // fresh records, as a fresh plug-in holds them
    for (std::size_t p = 0; p < compiled.programs.size(); ++p) {
        const int slot = static_cast<int>(p);
        bank->SetName(slot, compiled.programs[p].name.c_str());
        TCompiler compiler(name, folder);
        const std::span<const TStatement> body(statements.data() + ranges[p].first, ranges[p].end - ranges[p].first);
        if (auto error = compiler.Compile(body, slot, *bank)) return error;
        compiled.programs[p].record.resize(record::kRecordSize);
        bank->CopyRecord(slot, compiled.programs[p].record);
    }
    description = std::move(compiled);
    return std::nullopt;
}

std::optional<std::string> ReadDescription(const std::string& path, TProgramDescription& description) {
    const platform::ReadFileResult file = platform::ReadWholeFile(path, kMaxDescriptionBytes);
    if (!file.Ok()) return file.status.message.empty() ? path + ": cannot be read" : file.status.message;
    const std::string_view content(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    return CompileDescription(content, path, platform::Utf8FromPath(platform::PathFromUtf8(path).parent_path()),
                              description);
}

} // namespace quillon
