// A fresh, empty directory under the system's temporary folder for one test; removed with everything in
// it when the object goes.
#pragma once

#include <string>
#include <vector>

namespace quillon::test {

class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& Path() const { return path_; }
    // Path of an entry inside the directory.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries in the directory, sorted.
    std::vector<std::string> Entries() const;

private:
    std::string path_;
};

} // namespace quillon::test
