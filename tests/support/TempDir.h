// A temporary folder removed with everything in it at the end of a test.
#pragma once

#include <string>

namespace orbantis::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  // The folder, with its trailing "/".
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace orbantis::test
