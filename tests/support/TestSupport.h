#pragma once
// Helpers shared by the tests: temporary folders, waiting on conditions without sleeping, paths of
// the source tree and of ../shared.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/TestPaths.h"

namespace testing_support {

// A fresh folder under the system temp folder, removed with its content on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const noexcept { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

// Waits until the condition holds, at most `bound` of real time (generous: it only limits how
// long a broken test hangs). Returns whether the condition held.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds bound = std::chrono::seconds(20));

std::string ReadFile(const std::filesystem::path& path);
// The rows of a CSV text without quoting (canhost's output), each split at the commas; the header
// row is left out.
std::vector<std::vector<std::string>> CsvRows(const std::string& text);
void WriteFile(const std::filesystem::path& path, const std::string& content);

// A test that reads the shared third-party files skips, naming the path, where a clone has none.
#define SKIP_WITHOUT_SHARED(sub)                                    \
  do {                                                              \
    const auto shared_path_ = testing_support::SharedDir() / (sub); \
    if (!std::filesystem::exists(shared_path_))                     \
      GTEST_SKIP() << "missing " << shared_path_.string();          \
  } while (false)

}  // namespace testing_support
