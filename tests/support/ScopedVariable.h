// An environment variable set for a while, for a test or a bench.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace testsupport {

// `name` set to `value` (unset when null) while the object lives; then what it was.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* was = std::getenv(name))
            saved_ = was;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { saved_ ? setenv(name_, saved_->c_str(), 1) : unsetenv(name_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

} // namespace testsupport
