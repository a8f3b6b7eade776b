#include "cli/modules.h"

#include <filesystem>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "cli/module_entry.h"

namespace tarvik::modules {

namespace {

namespace fs = std::filesystem;

/// The folder of the running program.
fs::path ProgramFolder() {
#ifdef _WIN32
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return fs::path(path).parent_path();
#else
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : self.parent_path();
#endif
}

/// Where a module may be: beside the program (the build tree), one folder
/// up (tests in the build tree), the library folder of the program's prefix
/// (an install anywhere), and the library folder this build installs into.
std::vector<fs::path> ModuleFolders() {
  const fs::path folder = ProgramFolder();
  std::vector<fs::path> folders;
  if (!folder.empty()) {
    folders.push_back(folder);
    folders.push_back(folder.parent_path());
    folders.push_back(folder.parent_path() / TARVIK_MODULE_LIBDIR / "tarvik");
  }
  folders.push_back(TARVIK_MODULE_INSTALL_DIR);
  return folders;
}

struct Module {
  void* handle = nullptr;
  std::string error;
};

void* OpenLibrary(const fs::path& path) {
#ifdef _WIN32
  return reinterpret_cast<void*>(LoadLibraryW(path.wstring().c_str()));
#else
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void* FindSymbol(void* handle, const char* name) {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
#else
  return dlsym(handle, name);
#endif
}

/// Loads `name` once per process, from the first folder that holds it.
const Module& Load(const char* name) {
  static std::mutex mutex;
  static std::vector<std::pair<std::string, Module>> loaded;
  const std::lock_guard<std::mutex> lock(mutex);
  for (const auto& [moduleName, module] : loaded) {
    if (moduleName == name) return module;
  }
#ifdef _WIN32
  const std::string file = std::string(name) + ".dll";
#else
  const std::string file = std::string(name) + ".so";
#endif
  Module module;
  std::string tried;
  for (const fs::path& folder : ModuleFolders()) {
    const fs::path path = folder / file;
    std::error_code error;
    if (!fs::exists(path, error)) {
      tried += (tried.empty() ? "" : ", ") + folder.string();
      continue;
    }
    module.handle = OpenLibrary(path);
    if (module.handle != nullptr) break;
#ifdef _WIN32
    module.error = "cannot load " + path.string();
#else
    const char* reason = dlerror();
    module.error = "cannot load " + path.string() + (reason ? std::string(": ") + reason : "");
#endif
    break;
  }
  if (module.handle == nullptr && module.error.empty()) {
    module.error = file + " is in none of " + tried + "; it is installed with tarvik-clean.";
  }
  loaded.emplace_back(name, std::move(module));
  return loaded.back().second;
}

/// The entry `symbol` of module `name`, or the reason in `error`.
template <class Function>
Function* Entry(const char* name, const char* symbol, std::string& error) {
  const Module& module = Load(name);
  if (module.handle == nullptr) {
    error = module.error;
    return nullptr;
  }
  void* entry = FindSymbol(module.handle, symbol);
  if (entry == nullptr) error = std::string(name) + " has no entry " + symbol + ".";
  return reinterpret_cast<Function*>(entry);
}

}  // namespace

MapPainting::MapPainting() {
  std::string error;
  if (auto* start = Entry<StartPaintingEntry>(kMapModule, kStartPaintingName, error)) {
    painting_ = start();
  } else {
    error_ = "Error Map File: " + error;
  }
}

MapPainting::~MapPainting() {
  std::string error;
  if (painting_ == nullptr) return;
  if (auto* stop = Entry<StopPaintingEntry>(kMapModule, kStopPaintingName, error)) stop(painting_);
}

std::optional<std::string> SaveMapFile(const std::string& path, const std::int32_t& count,
                                       const PointTable& table, const std::string& title, int width,
                                       int height) {
  std::string error;
  auto* save = Entry<SaveMapEntry>(kMapModule, kSaveMapName, error);
  if (save == nullptr || !save(&path, &count, &table, &title, width, height, &error)) return error;
  return std::nullopt;
}

std::optional<std::string> ExportField(const std::string& path, const std::string& format,
                                       const std::string& crs, const std::int32_t& count,
                                       const PointTable& table) {
  std::string error;
  auto* exportField = Entry<ExportFieldEntry>(kExportModule, kExportFieldName, error);
  if (exportField == nullptr) return "Cannot export " + path + ": " + error;
  if (!exportField(&path, &format, &crs, &count, &table, &error)) return error;
  return std::nullopt;
}

}  // namespace tarvik::modules
