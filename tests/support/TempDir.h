// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace tarquel::test {

// Whether files have POSIX mode bits, symbolic links can be made by anyone
// and names may hold any byte but "/" and NUL: not so on Windows, where the
// tests of these skip.
#ifdef _WIN32
inline constexpr bool kPosixFiles = false;
#else
inline constexpr bool kPosixFiles = true;
#endif

// Removes a folder and everything in it, giving back write permission
// where a test took it away (Windows removes no read-only file).
inline void RemoveAll(const std::filesystem::path& folder) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(folder, ec);
}

class TempDir {
 public:
  // A new folder of a random name: creating it fails where the name is
  // taken, and another name is tried.
  TempDir() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = base / ("tarquel-test-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) {
        Path_ = std::move(candidate);
        return;
      }
    }
    throw std::runtime_error("cannot create a temporary folder");
  }
  ~TempDir() { RemoveAll(Path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return Path_; }
  // The folder with a trailing separator, as the program hands folders around.
  std::string Folder() const { return Path_.string() + "/"; }
  std::string File(const std::string& name) const { return (Path_ / name).string(); }

 private:
  std::filesystem::path Path_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace tarquel::test
