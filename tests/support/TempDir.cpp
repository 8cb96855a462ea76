#include "support/TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orbantis::test {

TempDir::TempDir() {
  char templ[] = "/tmp/orbantis-test-XXXXXX";
  if (::mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp");
  FPath = std::string(templ) + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace orbantis::test
