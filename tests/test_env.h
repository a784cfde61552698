// An environment variable set (or removed, for a null value) for the life of
// the object and put back as it was afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace kadrel {

class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  TScopedEnv(const char* name, const std::string& value) : TScopedEnv(name, value.c_str()) {}
  ~TScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace kadrel
