#include "platform/posix/XdgSettingsStore.h"

#include "platform/ReadWholeFile.h"
#include "platform/SafeFileWriter.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <span>
#include <sstream>
#include <string_view>

namespace quillon::platform {

namespace {

constexpr const char* kRelativePath = "/Brindmor Audio/Quillon/settings.conf";
constexpr const char* kNewFileHeader = "# Quillon settings (Brindmor Audio): one value per line, Name=text.";
// Far above any real settings file (a few hundred bytes); bounds what a damaged file can make us allocate.
constexpr std::size_t kMaxFileBytes = 16 << 20;

bool Absolute(const char* path) {
    return path && path[0] == '/';
}

std::string HomeFolder() {
    // The plug-in never changes its environment, so reading it from any thread is safe.
    if (const char* home = std::getenv("HOME"); Absolute(home)) return home; // NOLINT(concurrency-mt-unsafe)
    struct passwd entry {};
    struct passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &result) == 0 && result && Absolute(result->pw_dir))
        return result->pw_dir;
    return "/";
}

std::string UserConfigFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); Absolute(config)) // NOLINT(concurrency-mt-unsafe)
        return config;
    return HomeFolder() + "/.config";
}

// The folders of $XDG_CONFIG_DIRS, in order; relative entries are ignored, as the XDG rules ask.
std::vector<std::string> MachineConfigFolders() {
    std::vector<std::string> folders;
    const char* dirs = std::getenv("XDG_CONFIG_DIRS"); // NOLINT(concurrency-mt-unsafe): see HomeFolder
    std::stringstream list(dirs && *dirs ? dirs : "/etc/xdg");
    for (std::string folder; std::getline(list, folder, ':');)
        if (Absolute(folder.c_str())) folders.push_back(folder);
    return folders;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// The name of a value line; nothing for comments, empty lines and lines without "=".
std::optional<std::string> LineName(const std::string& line) {
    const std::string trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';') return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string::npos) return std::nullopt;
    return Trimmed(line.substr(0, equals));
}

// The lines of a file, without their line ends; nothing when the file cannot be read whole (missing,
// unreadable, larger than kMaxFileBytes, or changed while it was read).
std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
    const ReadFileResult file = ReadWholeFile(path, kMaxFileBytes);
    if (!file.Ok()) return std::nullopt;
    const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    std::vector<std::string> lines;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        std::string line(text.substr(begin, end - begin));
        if (!line.empty() && line.back() == '\r') line.pop_back(); // a file edited on Windows
        lines.push_back(std::move(line));
        begin = end + 1;
    }
    return lines;
}

// The stored text of the last line that holds `name`.
std::optional<std::string> Lookup(const std::vector<std::string>& lines, const std::string& name) {
    std::optional<std::string> value;
    for (const std::string& line : lines)
        if (const auto lineName = LineName(line); lineName && SameName(*lineName, name))
            value = line.substr(line.find('=') + 1);
    return value;
}

bool ValidName(const std::string& name) {
    if (name.empty() || name != Trimmed(name) || name[0] == '#' || name[0] == ';') return false;
    for (const char c : name)
        if (c == '=' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

// Holds an exclusive advisory lock on a folder while a settings file in it is rewritten.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0)
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_); // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

} // namespace

std::unique_ptr<ISettingsStore> MakeSettingsStore() {
    return std::make_unique<XdgSettingsStore>();
}

XdgSettingsStore::XdgSettingsStore() : userFile_(FileBelow(UserConfigFolder())) {
    for (const std::string& folder : MachineConfigFolders())
        machineFiles_.push_back(FileBelow(folder));
}

XdgSettingsStore::XdgSettingsStore(std::string userFile, std::vector<std::string> machineFiles)
    : userFile_(std::move(userFile)), machineFiles_(std::move(machineFiles)) {}

std::string XdgSettingsStore::FileBelow(const std::string& configFolder) {
    std::string folder = configFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return (folder == "/" ? "" : folder) + kRelativePath;
}

SettingRead XdgSettingsStore::ReadSetting(const std::string& name) const {
    SettingRead result;
    std::vector<const std::string*> files{&userFile_};
    for (const std::string& file : machineFiles_)
        files.push_back(&file);
    for (const std::string* file : files) {
        const auto lines = ReadLines(*file);
        if (!lines) continue;
        result.found = true;
        if (const auto value = Lookup(*lines, name)) {
            result.text = Unescape(*value);
            break;
        }
    }
    return result;
}

bool XdgSettingsStore::WriteSetting(const std::string& name, const std::string& text) {
    if (!ValidName(name)) return false;
    try {
        const std::filesystem::path file(userFile_);
        const std::string folder = file.parent_path().string();
        std::filesystem::create_directories(folder); // throws when the folder cannot be made
        FolderLock lock(folder);

        std::vector<std::string> lines;
        if (std::filesystem::exists(file)) {
            auto existing = ReadLines(userFile_);
            if (!existing) return false; // a file we cannot read is not overwritten: its other values would be lost
            lines = std::move(*existing);
        } else {
            lines.push_back(kNewFileHeader);
        }

        const std::string newLine = name + "=" + Escape(text);
        bool replaced = false;
        for (auto line = lines.begin(); line != lines.end();) {
            const auto lineName = LineName(*line);
            if (lineName && SameName(*lineName, name)) {
                if (replaced) {
                    line = lines.erase(line); // an older duplicate would be harmless but confusing
                    continue;
                }
                *line = newLine;
                replaced = true;
            }
            ++line;
        }
        if (!replaced) lines.push_back(newLine);

        std::string content;
        for (const std::string& line : lines)
            content += line + "\n";
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(content.data());
        return SafeFileWriter::Write(userFile_, {std::span<const std::uint8_t>(bytes, content.size())}).Ok();
    } catch (const std::exception&) {
        return false;
    }
}

std::string XdgSettingsStore::Escape(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string stored;
    stored.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            stored += "\\\\";
            break;
        case '\n':
            stored += "\\n";
            break;
        case '\r':
            stored += "\\r";
            break;
        case '\t':
            stored += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                stored += "\\x";
                stored += kHex[byte >> 4];
                stored += kHex[byte & 0x0F];
            } else {
                stored += c;
            }
        }
    }
    return stored;
}

std::string XdgSettingsStore::Unescape(const std::string& stored) {
    const auto hexDigit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string text;
    text.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c != '\\' || i + 1 == stored.size()) {
            text += c;
            continue;
        }
        const char next = stored[i + 1];
        switch (next) {
        case '\\':
            text += '\\';
            ++i;
            break;
        case 'n':
            text += '\n';
            ++i;
            break;
        case 'r':
            text += '\r';
            ++i;
            break;
        case 't':
            text += '\t';
            ++i;
            break;
        case 'x':
            if (i + 3 < stored.size() && hexDigit(stored[i + 2]) >= 0 && hexDigit(stored[i + 3]) >= 0) {
                text += static_cast<char>(hexDigit(stored[i + 2]) * 16 + hexDigit(stored[i + 3]));
                i += 3;
            } else {
                text += c;
            }
            break;
        default:
            text += c;
            break; // an unknown escape stands as it is
        }
    }
    return text;
}

} // namespace quillon::platform
