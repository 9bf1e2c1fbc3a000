// Command-line plumbing shared by the subcommands of `quillon`: each subcommand declares its options
// as a table of TOptionSpec, reads them with ParseArgs and reports failures with Fail.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon::cli {

using TArgs = std::span<const std::string>;

// An option of a subcommand: `--name VALUE`, `--name=VALUE`, or `ALIAS VALUE` when it has an alias.
struct TOptionSpec {
    const char* name;      // "--rate"
    const char* alias;     // "-o", or nullptr
    const char* valueName; // shown in messages ("HZ"); nullptr for a flag without a value
    bool repeatable;       // may be given more than once (values kept in order)
};

// What a command line gave: the values of each option given, in order, and the other arguments.
struct TParsedArgs {
    bool help = false;
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> values; // by option name

    bool Has(const std::string& name) const { return values.contains(name); }
    // The last value given, or `fallback`.
    std::string Value(const std::string& name, const std::string& fallback = {}) const;
    std::vector<std::string> All(const std::string& name) const;
};

// Prints "quillon: error: MESSAGE" as one line on stderr and returns the failure exit code, 1.
int Fail(const std::string& message);

bool IsHelp(const std::string& arg);

// Reads `args` against a command's options. "--help"/"-h" stop reading and set `help`; "--" ends the
// options; "-" alone and anything not starting with '-' are positional. Returns an error text, or
// nothing on success.
std::optional<std::string> ParseArgs(TArgs args, std::span<const TOptionSpec> specs, TParsedArgs& parsed);

// A whole argument as a number, read the same way in every locale; nothing when it is not one (or,
// for NumberArgument, not finite).
std::optional<long long> IntegerArgument(const std::string& text);
std::optional<double> NumberArgument(const std::string& text);

// The folder of the running executable.
std::string ExecutableDirectory();
// The plug-in's file name, for the help texts and the default path.
#if defined(_WIN32)
#define QUILLON_PLUGIN_FILE "Quillon.dll"
#else
#define QUILLON_PLUGIN_FILE "Quillon.so"
#endif

// The plug-in a command loads: --plugin PATH, or QUILLON_PLUGIN_FILE next to this program.
std::string PluginPath(const TParsedArgs& parsed);

} // namespace quillon::cli
