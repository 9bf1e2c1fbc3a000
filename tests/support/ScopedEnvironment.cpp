#include "support/ScopedEnvironment.h"

#include <cstdlib>

namespace quillon::test {

ScopedEnvironment::~ScopedEnvironment() {
    for (auto entry = saved_.rbegin(); entry != saved_.rend(); ++entry) {
        if (entry->second)
            setenv(entry->first.c_str(), entry->second->c_str(), 1);
        else
            unsetenv(entry->first.c_str());
    }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
    const char* previous = std::getenv(name.c_str());
    saved_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
}

} // namespace quillon::test
