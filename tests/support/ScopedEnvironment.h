// Sets environment variables for one test and puts the previous values back (or removes the variables)
// when it goes. The plug-in reads XDG_CONFIG_HOME and XDG_CONFIG_DIRS when it is constructed.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // Sets `name` to `value` until the object goes.
    void Set(const std::string& name, const std::string& value);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace quillon::test
