#include "CommandLine.h"

#include "platform/ModuleFolder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace quillon::cli {

std::string TParsedArgs::Value(const std::string& name, const std::string& fallback) const {
    const auto found = values.find(name);
    return found == values.end() ? fallback : found->second.back();
}

std::vector<std::string> TParsedArgs::All(const std::string& name) const {
    const auto found = values.find(name);
    return found == values.end() ? std::vector<std::string>{} : found->second;
}

int Fail(const std::string& message) {
    std::string line = message;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::fprintf(stderr, "quillon: error: %s\n", line.c_str());
    return 1;
}

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

std::optional<std::string> ParseArgs(TArgs args, std::span<const TOptionSpec> specs, TParsedArgs& parsed) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (IsHelp(arg)) {
            parsed.help = true;
            return std::nullopt;
        }
        const std::size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string given = arg.substr(0, equals);
        const auto spec = std::find_if(specs.begin(), specs.end(), [&](const TOptionSpec& s) {
            return given == s.name || (s.alias != nullptr && given == s.alias);
        });
        if (spec == specs.end()) return "unknown option '" + given + "'";

        std::string value;
        if (spec->valueName == nullptr) {
            if (equals != std::string::npos) return std::string(spec->name) + " takes no value";
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return std::string(spec->name) + " needs a value (" + spec->valueName + ")";
        }
        std::vector<std::string>& slot = parsed.values[spec->name];
        if (!slot.empty() && !spec->repeatable) return std::string(spec->name) + " given more than once";
        slot.push_back(std::move(value));
    }
    return std::nullopt;
}

std::optional<long long> IntegerArgument(const std::string& text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::optional<double> NumberArgument(const std::string& text) {
    double value = 0.0;
    const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (begin == end || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string ExecutableDirectory() {
    // The tool links the platform layer statically: its module is the program itself.
    const std::string folder = platform::ModuleFolder();
    return folder.empty() ? "." : folder;
}

std::string PluginPath(const TParsedArgs& parsed) {
#if defined(_WIN32)
    constexpr const char* kSeparators = "/\\";
#else
    constexpr const char* kSeparators = "/";
#endif
    std::string path = parsed.Value("--plugin", ExecutableDirectory() + "/" QUILLON_PLUGIN_FILE);
    // The loader searches the library path for a bare file name; on the command line it means this folder.
    if (path.find_first_of(kSeparators) == std::string::npos) path = "./" + path;
    return path;
}

} // namespace quillon::cli
