// Sets an environment variable for the life of the object and restores what
// was there before.
#pragma once

#include <cstdlib>
#include <string>

namespace orbantis::test {

struct ScopedEnv {
  ScopedEnv(const char* name, const std::string& value) : FName(name) {
    const char* old = std::getenv(name);
    FHad = old != nullptr;
    if (FHad) FOld = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (FHad)
      ::setenv(FName, FOld.c_str(), 1);
    else
      ::unsetenv(FName);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  const char* FName;
  bool FHad = false;
  std::string FOld;
};

}  // namespace orbantis::test
