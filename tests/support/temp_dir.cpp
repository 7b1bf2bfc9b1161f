#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace nox::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "nox-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary directory");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace nox::test
