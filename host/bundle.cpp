// Bundles: finding them, reading Contents/Info, loading the shared object, the entry point's
// 'init' and 'clr ', and the host callback that answers what the bundle asks during them.
#include "host.h"
#include "host_p.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace lumetra {

namespace {

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

fs::path canonicalOrSelf(const fs::path& p) {
  std::error_code ec;
  auto c = fs::weakly_canonical(p, ec);
  return ec ? fs::absolute(p, ec) : c;
}

bool isBundle(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p / "Contents" / "Info", ec);
}

std::string bundleName(const fs::path& p) {
  auto name = p.filename().string();
  return name.empty() ? p.parent_path().filename().string() : name;
}

}  // namespace

Expected<BundleInfo> readBundleInfo(const fs::path& bundle) {
  BundleInfo info;
  info.path = canonicalOrSelf(bundle);
  std::ifstream in(bundle / "Contents" / "Info");
  if (!in) return Error{"bundle \"" + bundleName(bundle) + "\" has no readable Contents/Info"};
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (trim(line).empty() || trim(line)[0] == '#' || eq == std::string::npos) continue;
    const auto key = trim(line.substr(0, eq));
    const auto value = trim(line.substr(eq + 1));
    if (key == "identifier") info.identifier = value;
    else if (key == "executable") info.executable = value;
    else if (key == "version") info.version = value;
  }
  if (info.identifier.empty() || info.executable.empty())
    return Error{"bundle \"" + bundleName(bundle) + "\" has no identifier or executable in Contents/Info"};
  // The executable is a plain name inside Contents/Linux, never a path out of the bundle.
  if (info.executable.find('/') != std::string::npos || info.executable == "." || info.executable == "..")
    return Error{"bundle \"" + bundleName(bundle) + "\" names an executable outside Contents/Linux"};
  return info;
}

std::vector<fs::path> defaultPluginFolders() {
  std::vector<fs::path> folders;
  auto add = [&](const fs::path& p) {
    std::error_code ec;
    if (p.empty() || !fs::is_directory(p, ec)) return;
    auto c = canonicalOrSelf(p);
    if (std::find(folders.begin(), folders.end(), c) == folders.end()) folders.push_back(c);
  };
  std::error_code ec;
  auto self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) add(self.parent_path());
#ifdef LUMETRA_PLUGIN_FOLDER
  add(LUMETRA_PLUGIN_FOLDER);
#endif
  return folders;
}

std::vector<fs::path> findBundles(std::span<const fs::path> places) {
  std::vector<fs::path> found;
  auto add = [&](const fs::path& p) {
    auto c = canonicalOrSelf(p);
    if (std::find(found.begin(), found.end(), c) == found.end()) found.push_back(c);
  };
  for (const auto& place : places) {
    if (isBundle(place)) {
      add(place);
      continue;
    }
    std::error_code ec;
    std::vector<fs::path> inside;
    for (const auto& entry : fs::directory_iterator(place, ec))
      if (isBundle(entry.path())) inside.push_back(entry.path());
    std::sort(inside.begin(), inside.end());
    for (const auto& p : inside) add(p);
  }
  return found;
}

Expected<std::unique_ptr<LoadedBundle>> LoadedBundle::load(const fs::path& bundle) {
  auto info = readBundleInfo(bundle);
  if (!info) return info.error();
  std::unique_ptr<LoadedBundle> loaded(new LoadedBundle);
  loaded->info_ = std::move(*info);
  const auto name = "bundle \"" + bundleName(loaded->info_.path) + "\"";
  const auto object = loaded->info_.path / "Contents" / "Linux" / (loaded->info_.executable + ".so");

  loaded->library_ = dlopen(object.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!loaded->library_) {
    const char* why = dlerror();
    return Error{name + " does not load (" + (why ? why : "unknown reason") +
                 "); rebuild it or remove it from the plug-ins folder"};
  }
  const auto entry = reinterpret_cast<decltype(&iTunesPluginMainMachO)>(dlsym(loaded->library_, "iTunesPluginMainMachO"));
  if (!entry)
    return Error{name + " has no entry point iTunesPluginMainMachO; it is not a visualizer bundle"};

  if (const auto status = registerBundleWithPlatform(loaded->info_.path); status != noErr)
    return Error{name + " could not be registered with the platform (status " + std::to_string(status) + ")"};

  PluginMessageBlock block{};
  block.messageMajorVersion = kHostCallBlockMajorVersion;
  block.messageMinorVersion = kHostCallBlockMinorVersion;
  block.appCookie = loaded.get();
  block.appProc = &LoadedBundle::hostCallback;
  const OSStatus status = entry(kPluginInitMessage, &block, nullptr);
  // A bundle that did not start gets no 'clr ' either.
  if (status != noErr) return Error{name + " refused to start ('init' answered " + std::to_string(status) + ")"};
  loaded->entry_ = entry;
  if (loaded->visuals_.empty()) return Error{name + " registered no visualizer"};
  return loaded;
}

LoadedBundle::~LoadedBundle() {
  if (entry_) {
    PluginMessageBlock block{};
    block.messageMajorVersion = kHostCallBlockMajorVersion;
    block.messageMinorVersion = kHostCallBlockMinorVersion;
    block.appCookie = this;
    block.appProc = &LoadedBundle::hostCallback;
    entry_(kPluginCleanupMessage, &block, nullptr);
  }
  // The shared object stays mapped under AddressSanitizer so that its leak reports can still
  // name the code; closing it there buys nothing.
#ifndef LUMETRA_KEEP_BUNDLES_MAPPED
  if (library_) dlclose(library_);
#endif
}

OSStatus LoadedBundle::hostCallback(void* cookie, OSType selector, HostCallBlock* block) {
  auto* self = static_cast<LoadedBundle*>(cookie);
  if (!self || !block) return paramErr;
  switch (selector) {
    case kPlayerRegisterVisualPluginMessage: {
      // The call block on this build is the widened one; anything smaller is not ours.
      if (block->blockSize < sizeof(HostCallBlock)) return paramErr;
      Visual visual{};
      std::memcpy(&visual.registration, &block->u.registerVisualPluginMessage, sizeof(VisualRegistration));
      const auto& raw = visual.registration.visualName;
      const std::size_t length = std::min<std::size_t>(raw[0], kVisualPluginNameLength - 1);
      visual.name.assign(reinterpret_cast<const char*>(raw + 1), length);
      if (!visual.registration.handlerProc) return paramErr;
      self->visuals_.push_back(std::move(visual));
      return noErr;
    }
    case kPlayerGetPluginFileSpecMessage: {
      FSSpec* fileSpec = block->u.getPluginFileSpecMessage.fileSpec;
      if (!fileSpec) return paramErr;
      return LumetraMakeFileSpec(self->info_.path.c_str(), fileSpec);
    }
    case kPlayerIdleMessage:
      return noErr;
    default:
      return unimpErr;
  }
}

}  // namespace lumetra
