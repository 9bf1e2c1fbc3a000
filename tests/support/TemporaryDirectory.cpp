#include "support/TemporaryDirectory.h"

#include "platform/Utf8Path.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>

namespace quillon::test {

namespace fs = std::filesystem;

TemporaryDirectory::TemporaryDirectory() {
#if defined(_WIN32)
    // No mkdtemp: a random name, taken only when creating it succeeds (create_directory fails on a name in use).
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("quillon-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) path_ = platform::Utf8FromPath(candidate);
    }
    if (path_.empty()) throw std::runtime_error("cannot create a temporary directory");
#else
    std::string pattern = (fs::temp_directory_path() / "quillon-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
#endif
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code error;
    // Entries a test made read-only (files or folders) must not keep the directory from going.
    for (const auto& entry : fs::recursive_directory_iterator(platform::PathFromUtf8(path_), error))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(platform::PathFromUtf8(path_), error);
}

std::vector<std::string> TemporaryDirectory::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(platform::PathFromUtf8(path_)))
        names.push_back(platform::Utf8FromPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quillon::test
