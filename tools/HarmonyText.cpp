#include "HarmonyText.h"

#include "TextStatements.h"
#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::uint8_t kSilentLevel = 255;
constexpr std::uint8_t kZeroPhase = 128;
constexpr std::size_t kMaxTextBytes = 16 << 20;
constexpr int kHighestHarmonic = record::kHarmonicCount - 1; // 250

// Reads the bytes of a frame or phases line (words from index 2 on) into harmonics 1.. of `bytes`.
std::optional<std::string> ReadBytes(const text::TStatement& statement, const std::string& name,
                                     std::array<std::uint8_t, record::kHarmonicCount>& bytes) {
    const std::size_t count = statement.words.size() - 2;
    if (count > static_cast<std::size_t>(kHighestHarmonic))
        return text::At(name, statement.line, "more than 250 harmonics");
    for (std::size_t k = 0; k < count; ++k) {
        const auto value = text::IntegerWord(statement.words[k + 2]);
        if (!value || *value < 0 || *value > 255)
            return text::At(name, statement.line,
                            "harmonic " + std::to_string(k + 1) + ": '" + statement.words[k + 2] +
                                "' is not a byte (0..255)");
        bytes[k + 1] = static_cast<std::uint8_t>(*value);
    }
    return std::nullopt;
}

std::optional<float> TimeWord(const std::string& word) {
    const auto value = text::FloatWord(word);
    if (!value || *value < 0.0f) return std::nullopt;
    return value;
}

} // namespace

THarmonyTextFrame THarmonyTextFrame::Silent(float time) {
    THarmonyTextFrame frame;
    frame.time = time;
    frame.levels.fill(kSilentLevel);
    frame.phases.fill(kZeroPhase);
    return frame;
}

std::optional<std::string> ParseHarmonyText(std::string_view content, const std::string& name,
                                            THarmonyText& harmony) {
    std::vector<text::TStatement> statements;
    THarmonyText read;
    if (auto error = text::SplitStatements(content, name, statements, &read.comments)) return error;
    struct TPhases {
        int line;
        float time;
        std::array<std::uint8_t, record::kHarmonicCount> bytes;
    };
    std::vector<TPhases> phases;
    std::vector<int> frameLines;
    for (const text::TStatement& statement : statements) {
        const std::string& verb = statement.words.front();
        if (verb == "loop") {
            if (read.loop) return text::At(name, statement.line, "a second loop");
            const auto start = statement.words.size() == 3 ? TimeWord(statement.words[1]) : std::nullopt;
            const auto end = statement.words.size() == 3 ? TimeWord(statement.words[2]) : std::nullopt;
            if (!start || !end || *end < *start)
                return text::At(name, statement.line, "loop needs START END, seconds with 0 <= START <= END");
            read.loop = std::make_pair(*start, *end);
        } else if (verb == "frame" || verb == "phases") {
            const auto time = statement.words.size() >= 2 ? TimeWord(statement.words[1]) : std::nullopt;
            if (!time) return text::At(name, statement.line, verb + " needs a TIME in seconds (0 or more)");
            if (verb == "frame") {
                if (read.frames.size() == static_cast<std::size_t>(record::kMaxFrames))
                    return text::At(name, statement.line, "more than 100 frames");
                for (std::size_t i = 0; i < read.frames.size(); ++i)
                    if (read.frames[i].time == *time)
                        return text::At(name, statement.line,
                                        "a second frame at " + text::FloatText(*time) + " s (the first is on line " +
                                            std::to_string(frameLines[i]) + ")");
                THarmonyTextFrame frame = THarmonyTextFrame::Silent(*time);
                if (auto error = ReadBytes(statement, name, frame.levels)) return error;
                read.frames.push_back(frame);
                frameLines.push_back(statement.line);
            } else {
                TPhases entry{statement.line, *time, {}};
                entry.bytes.fill(kZeroPhase);
                if (auto error = ReadBytes(statement, name, entry.bytes)) return error;
                phases.push_back(entry);
            }
        } else {
            return text::At(name, statement.line, "unknown statement '" + verb + "' (frame, phases or loop)");
        }
    }
    if (read.frames.empty()) return text::At(name, 1, "no frames");
    for (const TPhases& entry : phases) {
        const auto frame = std::find_if(read.frames.begin(), read.frames.end(),
                                        [&](const THarmonyTextFrame& f) { return f.time == entry.time; });
        if (frame == read.frames.end())
            return text::At(name, entry.line, "phases for " + text::FloatText(entry.time) + " s: no frame at that time");
        frame->phases = entry.bytes;
    }
    std::stable_sort(read.frames.begin(), read.frames.end(),
                     [](const THarmonyTextFrame& a, const THarmonyTextFrame& b) { return a.time < b.time; });
    harmony = std::move(read);
    return std::nullopt;
}

std::optional<std::string> ReadHarmonyText(const std::string& path, THarmonyText& harmony) {
    const platform::ReadFileResult file = platform::ReadWholeFile(path, kMaxTextBytes);
    if (!file.Ok()) return file.status.message.empty() ? path + ": cannot be read" : file.status.message;
    const std::string_view content(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    return ParseHarmonyText(content, path, harmony);
}

std::string FormatHarmonyText(const THarmonyText& harmony) {
    std::string out;
    for (const std::string& comment : harmony.comments)
        out += comment.empty() ? "#\n" : "# " + comment + "\n";
    if (harmony.loop)
        out += "loop " + text::FloatText(harmony.loop->first) + " " + text::FloatText(harmony.loop->second) + "\n";
    std::vector<const THarmonyTextFrame*> frames;
    for (const THarmonyTextFrame& frame : harmony.frames)
        frames.push_back(&frame);
    std::stable_sort(frames.begin(), frames.end(),
                     [](const THarmonyTextFrame* a, const THarmonyTextFrame* b) { return a->time < b->time; });
    const auto line = [&](const char* verb, const THarmonyTextFrame& frame,
                          const std::array<std::uint8_t, record::kHarmonicCount>& bytes, std::uint8_t trailing) {
        int last = kHighestHarmonic;
        while (last > 0 && bytes[static_cast<std::size_t>(last)] == trailing)
            --last;
        if (last == 0 && trailing == kZeroPhase) return;
        out += verb;
        out += " " + text::FloatText(frame.time);
        for (int k = 1; k <= last; ++k)
            out += " " + std::to_string(bytes[static_cast<std::size_t>(k)]);
        out += "\n";
    };
    for (const THarmonyTextFrame* frame : frames) {
        line("frame", *frame, frame->levels, kSilentLevel);
        line("phases", *frame, frame->phases, kZeroPhase);
    }
    return out;
}

Status WriteHarmonyText(const std::string& path, const THarmonyText& harmony) {
    const std::string content = FormatHarmonyText(harmony);
    return SafeFileWriter::Write(
        path, {std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(content.data()), content.size())});
}

} // namespace quillon
