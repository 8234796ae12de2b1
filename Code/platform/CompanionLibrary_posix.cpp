#include <dlfcn.h>

#include "CompanionExports.h"
#include "CompanionLibrary.h"

namespace tarquel::platform {

std::unique_ptr<CompanionLibrary> CompanionLibrary::Load(const std::string& path) {
  // A path without "/" would send dlopen down the library search path; the
  // companions are always named by their place.
  const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = ::dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  return std::unique_ptr<CompanionLibrary>(new CompanionLibrary(handle));
}

CompanionLibrary::~CompanionLibrary() { ::dlclose(Handle_); }

void* CompanionLibrary::Symbol(const char* name) const { return ::dlsym(Handle_, name); }

std::string CompanionLibrary::LoadString(unsigned id) const {
  const auto load = reinterpret_cast<TarquelLoadStringFn>(Symbol(TARQUEL_LOAD_STRING_EXPORT));
  if (load == nullptr) return std::string();
  char buffer[kStringBuffer] = {};
  const int copied = load(id, buffer, kStringBuffer);
  if (copied <= 0) return std::string();
  buffer[kStringBuffer - 1] = '\0';
  return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(copied), std::char_traits<char>::length(buffer)));
}

std::optional<std::vector<unsigned char>> CompanionLibrary::Resource(std::string_view name,
                                                                     std::string_view type) const {
  const auto find = reinterpret_cast<TarquelFindResourceFn>(Symbol(TARQUEL_FIND_RESOURCE_EXPORT));
  if (find == nullptr) return std::nullopt;
  std::size_t size = 0;
  const unsigned char* bytes = find(std::string(name).c_str(), std::string(type).c_str(), &size);
  if (bytes == nullptr) return std::nullopt;
  return std::vector<unsigned char>(bytes, bytes + size);
}

}  // namespace tarquel::platform
