// A temporary folder for one test, removed with everything in it when the
// object goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  // Path of `relative` below the folder.
  std::filesystem::path operator/(const std::string& relative) const { return m_path / relative; }

 private:
  std::filesystem::path m_path;
};

// Whole contents of a file as bytes in a string; empty when missing.
std::string ReadFileBytes(const std::filesystem::path& path);
// Creates the parent folders and writes `bytes` as the whole file.
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// Path of a file under tests/fixtures.
std::filesystem::path FixturePath(const std::string& relative);
// Every file below the folder (not the folders), as sorted paths relative
// to it; empty when the folder is missing.
std::vector<std::string> FilesBelow(const std::filesystem::path& root);

}  // namespace testing_support
