#include <algorithm>

#include "CompanionLibrary.h"
#include "WinHandle.h"

// windows.h names LoadStringW so; the method keeps its own name.
#undef LoadString

namespace tarquel::platform {

namespace {

HMODULE Module(void* handle) { return static_cast<HMODULE>(handle); }

// Whether a loaded image is a library: an executable can be loaded too,
// but is no companion.
bool IsLibrary(HMODULE module) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  return nt->Signature == IMAGE_NT_SIGNATURE && (nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
}

}  // namespace

// Always loaded from a full path: a bare name would send LoadLibrary down
// its search path, and the companions are named by their place (a bare name
// is the working directory's file). The library's own dependencies are
// looked for beside it first.
std::unique_ptr<CompanionLibrary> CompanionLibrary::Load(const std::string& path) {
  std::wstring wide = win::Utf16(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  if (wide.find(L'\\') == std::wstring::npos) wide = L".\\" + wide;
  wchar_t full[MAX_PATH * 4];
  const DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
  if (length == 0 || length >= std::size(full)) return nullptr;
  if (::GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) return nullptr;
  // No message box from the system for a file it cannot load.
  const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const HMODULE module = ::LoadLibraryExW(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ::SetErrorMode(previous);
  if (module == nullptr) return nullptr;
  if (!IsLibrary(module)) {
    ::FreeLibrary(module);
    return nullptr;
  }
  return std::unique_ptr<CompanionLibrary>(new CompanionLibrary(module));
}

CompanionLibrary::~CompanionLibrary() { ::FreeLibrary(Module(Handle_)); }

void* CompanionLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(::GetProcAddress(Module(Handle_), name));
}

// The string table's entry, read into kStringBuffer characters as
// LoadString does (it cuts longer ones and always ends with a zero).
std::string CompanionLibrary::LoadString(unsigned id) const {
  wchar_t buffer[kStringBuffer] = {};
  const int copied = ::LoadStringW(Module(Handle_), id, buffer, kStringBuffer);
  if (copied <= 0) return std::string();
  return win::Utf8(std::wstring_view(buffer, static_cast<std::size_t>(copied)));
}

std::optional<std::vector<unsigned char>> CompanionLibrary::Resource(std::string_view name,
                                                                     std::string_view type) const {
  const std::wstring wideName = win::Utf16(name), wideType = win::Utf16(type);
  const HRSRC found = ::FindResourceW(Module(Handle_), wideName.c_str(), wideType.c_str());
  if (found == nullptr) return std::nullopt;
  const HGLOBAL loaded = ::LoadResource(Module(Handle_), found);
  const auto* bytes = loaded ? static_cast<const unsigned char*>(::LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::vector<unsigned char>(bytes, bytes + ::SizeofResource(Module(Handle_), found));
}

}  // namespace tarquel::platform
