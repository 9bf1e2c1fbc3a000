#include "DescriptionParameters.h"

#include "TextStatements.h"
#include "core/ParameterTable.h"
#include "editor/MenuTable.h"
#include "effects/TClassicChorusEffect.h"
#include "effects/TClassicDelayEffect.h"
#include "effects/TClassicPhaserEffect.h"
#include "engine/CurveValue.h"
#include "engine/TLowFrequencyOscillator.h"
#include "engine/TModulationAssignment.h"
#include "files/ParameterIndex.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace quillon::describe {

namespace {

struct TGroup {
    const char* name;
    int first, last;
};
constexpr TGroup kGroups[] = {{"osc", 0, 6},        {"penv", 7, 11},    {"noise", 12, 12},  {"filter", 13, 23},
                              {"amp", 24, 33},      {"lfo1", 34, 47},   {"lfo2", 48, 61},   {"route", 62, 73},
                              {"velo", 74, 75},     {"chorus", 76, 83}, {"phaser", 84, 91}, {"delay", 92, 99},
                              {"reverb", 100, 105}, {"voice", 106, 123}};

// The captions of one of the editor's menus, in item order: the filter types, noise types and LFO
// waveforms are named in descriptions as the editor names them.
std::vector<const char*> MenuCaptions(std::string_view menu) {
    std::vector<const char*> captions;
    if (const TMenuLayout* layout = FindMenu(menu))
        for (const TMenuItemLayout& item : layout->items)
            captions.push_back(item.caption);
    return captions;
}

constexpr const char* kSources[] = {"aftertouch", "pitchbend", "modwheel", "breath", "expression", "softpedal"};
// Routing rows in source order (aftertouch, pitch bend, wheel, breath, expression, soft pedal).
constexpr int kRowTargets[] = {kAftertouchTarget, kPitchBendTarget,  kModWheelTarget,
                               kBreathTarget,     kExpressionTarget, kSoftPedalTarget};

// Parameters the engine rounds to whole numbers: their values must be whole.
constexpr int kWholeNumbers[] = {kOscillators,    kVoices,           kMidiChannel, kRangeLow, kRangeHigh,
                                 kTransposeNotes, kTransposeOctaves, kKeyAssign,   kOverlap,  kStretchOrigin};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Lower case without spaces: "1 / 8 D" and "1/8d" compare equal.
std::string Folded(const std::string& text) {
    std::string out;
    for (const char c : Lower(text))
        if (c != ' ') out.push_back(c);
    return out;
}

const TGroup* GroupOf(int index) {
    for (const TGroup& group : kGroups)
        if (index >= group.first && index <= group.last) return &group;
    return nullptr;
}

std::string QualifiedName(int index) {
    const TGroup* group = GroupOf(index);
    return std::string(group ? group->name : "?") + "." + ParameterTable::Spec(index).name;
}

// The caption's position in `captions` (case-insensitive), or -1.
int Caption(std::span<const char* const> captions, const std::string& text) {
    for (std::size_t i = 0; i < captions.size(); ++i)
        if (Folded(captions[i]) == Folded(text)) return static_cast<int>(i);
    return -1;
}

std::string CaptionList(std::span<const char* const> captions) {
    std::string list;
    for (const char* caption : captions)
        list += (list.empty() ? "" : ", ") + text::QuotedWord(caption);
    return list;
}

// The stored value that shows `tag` in a menu parameter (display range min..max, linear).
float MenuValue(int index, int tag) {
    const ParameterSpec& spec = ParameterTable::Spec(index);
    return static_cast<float>((tag - spec.displayMin) / (spec.displayMax - spec.displayMin));
}

bool On(float value) {
    return value >= 0.5f;
}

// The note-length label function of a tempo-synced rate, or nothing when `index` has none.
std::function<std::string(float)> SyncLabels(int index, int& sync) {
    // The synthesizer's LFOs offer the note lengths from 4 bars down to 1/32 bar.
    static const std::unique_ptr<TLowFrequencyOscillator> lfoObject = [] {
        auto made = std::make_unique<TLowFrequencyOscillator>(20.0f, 0.02f, 44100.0f);
        made->BuildTempoRatios(4, 1, 32, 1);
        return made;
    }();
    static const TLowFrequencyOscillator& lfo = *lfoObject;
    static const TClassicChorusEffect chorus(0.1f, 44100.0f);
    static const TClassicPhaserEffect phaser(44100.0f);
    static const TClassicDelayEffect delay(44100.0f);
    switch (index) {
    case kLfo1Rate:
    case kLfo1HoldRate:
        sync = kLfo1Sync;
        return [](float x) { return lfo.RateLabel(x); };
    case kLfo2Rate:
    case kLfo2HoldRate:
        sync = kLfo2Sync;
        return [](float x) { return lfo.RateLabel(x); };
    case kChorusRate:
        sync = kChorusSync;
        return [](float x) { return chorus.RateLabel(x); };
    case kPhaserRate:
        sync = kPhaserSync;
        return [](float x) { return phaser.RateLabel(x); };
    case kDelayTime:
        sync = kDelaySync;
        return [](float x) { return delay.TimeLabel(x); };
    default:
        return {};
    }
}

// The knob that shows `text` as a note length: the middle of the knob range that shows it.
std::optional<std::string> NoteLength(const std::function<std::string(float)>& label, const std::string& text,
                                      float& value) {
    constexpr int kSteps = 4096;
    int first = -1;
    int last = -1;
    std::vector<std::string> seen;
    for (int i = 0; i <= kSteps; ++i) {
        const std::string shown = label(static_cast<float>(i) / kSteps);
        if (seen.empty() || seen.back() != shown) seen.push_back(shown);
        if (Folded(shown) != Folded(text)) {
            if (first >= 0) break;
            continue;
        }
        if (first < 0) first = i;
        last = i;
    }
    if (first < 0) {
        std::string list;
        for (const std::string& shown : seen)
            list += (list.empty() ? "" : ", ") + text::QuotedWord(shown);
        return "'" + text + "' is not a note length (" + list + ")";
    }
    value = static_cast<float>((first + last) / 2.0 / kSteps);
    return std::nullopt;
}

// The stored value showing `number` on the parameter's display curve.
std::optional<float> Inverse(const ParameterSpec& spec, double number) {
    const double low = std::min(spec.displayMin, spec.displayMax);
    const double high = std::max(spec.displayMin, spec.displayMax);
    const double tolerance = 1e-9 * std::max(1.0, high - low);
    if (!(number >= low - tolerance && number <= high + tolerance)) return std::nullopt;
    const double span = spec.displayMax - spec.displayMin;
    double x = 0.0;
    switch (spec.displayCurve) {
    case kCurveLinear:
        x = (number - spec.displayMin) / span;
        break;
    case kCurveExponential:
        x = std::log(number / spec.displayMin) / std::log(spec.displayMax / spec.displayMin);
        break;
    case kCurveCubic:
        x = std::cbrt((number - spec.displayMin) / span);
        break;
    default:
        return std::nullopt;
    }
    return static_cast<float>(std::clamp(x, 0.0, 1.0));
}

std::string Number(double value) {
    return text::FloatText(static_cast<float>(value));
}

std::optional<std::string> RouteAmount(int row, const std::string& text, TParameterValues& current) {
    const int targetIndex = kRowTargets[row];
    const int target = static_cast<int>(std::lround(ParameterTable::DisplayValue(targetIndex, current[targetIndex])));
    const TModulationAssignment::TargetInfo& info = TModulationAssignment::Target(target);
    const std::optional<float> number = text::FloatWord(text);
    if (!number || *number < info.displayMinimum || *number > info.displayMaximum)
        return "'" + text + "' is not an amount for " + info.caption + " (" + Number(info.displayMinimum) + ".." +
               Number(info.displayMaximum) + ")";
    current[targetIndex + 1] = static_cast<float>(
        std::clamp((*number - info.displayMinimum) / (info.displayMaximum - info.displayMinimum), 0.0, 1.0));
    return std::nullopt;
}

} // namespace

std::optional<std::string> ResolveParameter(const std::string& name, int& index) {
    if (!name.empty() && name.front() == '#') {
        const auto number = text::IntegerWord(name.substr(1));
        if (!number || *number < 0 || *number >= record::kParameterCount)
            return "no parameter '" + name + "' (#0..#123)";
        index = static_cast<int>(*number);
        return std::nullopt;
    }
    const std::size_t dot = name.find('.');
    const std::string groupName = dot == std::string::npos ? std::string() : Lower(name.substr(0, dot));
    const std::string wanted = Lower(dot == std::string::npos ? name : name.substr(dot + 1));
    const TGroup* group = nullptr;
    if (dot != std::string::npos) {
        for (const TGroup& g : kGroups)
            if (groupName == g.name) group = &g;
        if (!group) {
            std::string list;
            for (const TGroup& g : kGroups)
                list += (list.empty() ? "" : " ") + std::string(g.name);
            return "unknown parameter group '" + name.substr(0, dot) + "' (" + list + ")";
        }
    }
    std::vector<int> found;
    for (int i = 0; i < record::kParameterCount; ++i)
        if (Lower(ParameterTable::Spec(i).name) == wanted && (!group || (i >= group->first && i <= group->last)))
            found.push_back(i);
    if (found.empty()) return "unknown parameter '" + name + "'";
    if (found.size() > 1) {
        std::string list;
        for (const int i : found)
            list += (list.empty() ? "" : ", ") + QualifiedName(i);
        return "parameter '" + name + "' is ambiguous: " + list + " (or #N)";
    }
    index = found.front();
    return std::nullopt;
}

std::optional<std::string> SetParameter(int index, const std::string& text, TParameterValues& current) {
    const ParameterSpec& spec = ParameterTable::Spec(index);
    const std::string name = spec.name;
    const auto menu = [&](std::span<const char* const> captions, int firstTag) -> std::optional<std::string> {
        int position = Caption(captions, text);
        if (position < 0) {
            const auto number = text::IntegerWord(text);
            if (number && *number >= firstTag && *number < firstTag + static_cast<long long>(captions.size()))
                position = static_cast<int>(*number - firstTag);
        }
        if (position < 0) return name + ": '" + text + "' is not one of " + CaptionList(captions);
        current[index] = MenuValue(index, position + firstTag);
        return std::nullopt;
    };
    static const std::vector<const char*> filterTypes = MenuCaptions("FilterMenu");
    static const std::vector<const char*> lfoWaveforms = MenuCaptions("LfoWaveformMenu");
    static const std::vector<const char*> noiseTypes = MenuCaptions("NoiseEqMenu");
    switch (index) {
    case kFilterType:
        return menu(filterTypes, 1);
    case kLfo1Waveform:
    case kLfo2Waveform:
        return menu(lfoWaveforms, 1);
    case kNoiseType:
        if (Folded(text) == "off") {
            current[kNoiseLevel] = 0.0f;
            return std::nullopt;
        }
        return menu(noiseTypes, 1);
    default:
        break;
    }
    for (int row = 0; row < TModulationAssignment::kRowCount; ++row) {
        if (index == kRowTargets[row]) {
            std::vector<const char*> captions;
            for (const auto& target : TModulationAssignment::Targets())
                captions.push_back(target.caption);
            return menu(captions, 0);
        }
        if (index == kRowTargets[row] + 1) {
            if (auto error = RouteAmount(row, text, current)) return name + ": " + *error;
            return std::nullopt;
        }
    }
    if (spec.displayCurve == kCurveSwitch) {
        const std::string word = Folded(text);
        if (word != "on" && word != "off") return name + ": '" + text + "' is not on or off";
        current[index] = word == "on" ? 1.0f : 0.0f;
        return std::nullopt;
    }
    int sync = -1;
    if (const auto labels = SyncLabels(index, sync); labels && On(current[sync])) {
        float value = 0.0f;
        if (auto error = NoteLength(labels, text, value)) return name + " (its Sync is on): " + *error;
        current[index] = value;
        return std::nullopt;
    }
    const std::optional<float> number = text::FloatWord(text);
    const std::string range = Number(spec.displayMin) + ".." + Number(spec.displayMax) +
                              (spec.label[0] ? std::string(" ") + spec.label : std::string());
    if (!number)
        return name + ": '" + text + "' is not a number (" + range + ")" +
               (SyncLabels(index, sync) ? "; a note length needs its Sync on first" : "");
    if (std::find(std::begin(kWholeNumbers), std::end(kWholeNumbers), index) != std::end(kWholeNumbers) &&
        *number != std::nearbyint(*number))
        return name + ": '" + text + "' is not a whole number (" + range + ")";
    const std::optional<float> value = Inverse(spec, *number);
    if (!value) return name + ": " + text + " is outside " + range;
    current[index] = *value;
    return std::nullopt;
}

std::optional<std::string> SetRoute(const std::string& source, const std::string& target, const std::string& amount,
                                    TParameterValues& current) {
    const int row = Caption(kSources, source);
    if (row < 0) return "unknown source '" + source + "' (" + CaptionList(kSources) + ")";
    if (auto error = SetParameter(kRowTargets[row], target, current)) return error;
    if (auto error = RouteAmount(row, amount, current)) return error;
    return std::nullopt;
}

const char* RouteSourceName(int row) {
    return row >= 0 && row < TModulationAssignment::kRowCount ? kSources[row] : "";
}

const char* RouteTargetCaption(int target) {
    return TModulationAssignment::Target(target).caption;
}

int RouteTargetIndex(int row) {
    return kRowTargets[row];
}

int RouteAmountIndex(int row) {
    return kRowTargets[row] + 1;
}

} // namespace quillon::describe
