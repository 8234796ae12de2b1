// A companion library of the program ("Res.dll", "Form.dll"), loaded from a
// file and unloaded with its owner.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarquel::platform {

class CompanionLibrary {
 public:
  // Loads the library at `path` (the file name keeps its ".dll"); null when
  // it is missing or cannot be loaded.
  static std::unique_ptr<CompanionLibrary> Load(const std::string& path);
  ~CompanionLibrary();
  CompanionLibrary(const CompanionLibrary&) = delete;
  CompanionLibrary& operator=(const CompanionLibrary&) = delete;

  // String `id` of the library's string table, read into a buffer of
  // kStringBuffer characters (so at most 253 are used); empty when missing.
  static constexpr int kStringBuffer = 254;
  std::string LoadString(unsigned id) const;

  // The bytes of a named resource of a type ("ImgFlash", "jpeg").
  std::optional<std::vector<unsigned char>> Resource(std::string_view name, std::string_view type) const;

  // The address of an exported function, or null.
  void* Symbol(const char* name) const;

 private:
  explicit CompanionLibrary(void* handle) : Handle_(handle) {}
  void* Handle_;
};

}  // namespace tarquel::platform
