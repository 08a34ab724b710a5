#include "testhost.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace lumetra::test {

namespace {

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// The value of key in the bundle's Contents/Info (lines "key = value").
std::string infoValue(const std::string& bundleDir, const std::string& key) {
  const std::string path = bundleDir + "/Contents/Info";
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos && trim(line.substr(0, eq)) == key) return trim(line.substr(eq + 1));
  }
  throw std::runtime_error(path + " has no '" + key + "' line");
}

}  // namespace

HostCallBlock HostCall::block() const {
  HostCallBlock b{};
  std::memcpy(&b, bytes.data(), std::min(bytes.size(), sizeof b));
  return b;
}

std::string defaultBundleDir() {
  if (const char* dir = std::getenv("LUMETRA_BUNDLE_DIR"); dir && *dir) return dir;
  return LUMETRA_BUNDLE_DIR;
}

std::string fourCC(OSType code) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((code >> shift) & 0xFF);
  return "'" + s + "'";
}

TestHost::TestHost(std::string bundleDir) : bundleDir_(std::move(bundleDir)) {
  executablePath_ = bundleDir_ + "/Contents/Linux/" + infoValue(bundleDir_, "executable") + ".so";
  library_ = dlopen(executablePath_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) throw std::runtime_error(std::string("cannot load the bundle: ") + dlerror());
  entry_ = reinterpret_cast<EntryProc>(dlsym(library_, "iTunesPluginMainMachO"));
  if (!entry_) {
    dlclose(library_);
    throw std::runtime_error("the bundle does not export iTunesPluginMainMachO");
  }
  liveHosts().insert(this);
  // As the player does: the loaded bundle is registered under its identifier, so that the
  // plug-in finds its settings window by it. A bundle that cannot be registered still loads
  // (its 'cnfg' then finds no bundle); tests that want none unregister it.
  LumetraRegisterBundle(bundleDir_.c_str());
}

TestHost::~TestHost() {
  if (refCon_ && handler_) handler_(kPluginCleanupMessage, nullptr, refCon_);
  if (registered_) entry_(kPluginCleanupMessage, nullptr, nullptr);
  liveHosts().erase(this);
  dlclose(library_);
}

void* TestHost::symbol(const char* name) const { return dlsym(library_, name); }

OSStatus TestHost::HostCallback(void* cookie, OSType selector, HostCallBlock* block) {
  // The cookie must be one that a live host handed out; anything else means the plug-in lost
  // or changed it, which fails the running test instead of being dereferenced.
  if (!liveHosts().contains(static_cast<TestHost*>(cookie))) {
    ADD_FAILURE() << "host callback " << fourCC(selector) << " with an unknown cookie " << cookie;
    return paramErr;
  }
  return static_cast<TestHost*>(cookie)->answer(selector, block);
}

std::set<TestHost*>& TestHost::liveHosts() {
  static std::set<TestHost*> hosts;
  return hosts;
}

OSStatus TestHost::answer(OSType selector, HostCallBlock* block) {
  HostCall call;
  call.selector = selector;
  call.address = block;
  if (block) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(block);
    call.bytes.assign(bytes, bytes + sizeof(HostCallBlock));
  }
  calls_.push_back(std::move(call));

  if (!block) return paramErr;
  if (auto hook = hooks_.find(selector); hook != hooks_.end()) hook->second(*block);

  const auto configured = statuses_.find(selector);
  const OSStatus status = configured == statuses_.end() ? noErr : configured->second;
  if (selector == kPlayerRegisterVisualPluginMessage) {
    handler_ = block->u.registerVisualPluginMessage.handlerProc;
    handlerRefCon_ = block->u.registerVisualPluginMessage.handlerRefCon;
  } else if (selector == kPlayerGetPluginFileSpecMessage && status == noErr) {
    if (FSSpec* spec = block->u.getPluginFileSpecMessage.fileSpec) LumetraMakeFileSpec(bundleDir_.c_str(), spec);
  }
  return status;
}

std::vector<HostCall> TestHost::callsFor(OSType selector) const {
  std::vector<HostCall> matching;
  for (const auto& call : calls_) {
    if (call.selector == selector) matching.push_back(call);
  }
  return matching;
}

OSStatus TestHost::callEntry(OSType message, PluginMessageBlock* block, void* refCon) {
  const OSStatus status = entry_(message, block, refCon);
  if (message == kPluginInitMessage && status == noErr) registered_ = true;
  return status;
}

OSStatus TestHost::registerPlugin() {
  PluginMessageBlock block{};
  block.messageMajorVersion = 1;
  block.appCookie = cookie();
  block.appProc = hostProc();
  return callEntry(kPluginInitMessage, &block);
}

OSStatus TestHost::send(OSType message, VisualMessageBlock* block) { return sendWithRefCon(message, block, refCon_); }

OSStatus TestHost::sendWithRefCon(OSType message, VisualMessageBlock* block, void* refCon) {
  if (!handler_) throw std::logic_error("no handler registered before " + fourCC(message));
  return handler_(message, block, refCon);
}

OSStatus TestHost::initInstance() {
  if (!handler_) {
    const OSStatus status = registerPlugin();
    if (status != noErr) return status;
  }
  VisualMessageBlock block{};
  block.u.initMessage.appCookie = cookie();
  block.u.initMessage.appProc = hostProc();
  const OSStatus status = sendWithRefCon(kPluginInitMessage, &block, handlerRefCon_);
  refCon_ = block.u.initMessage.refCon;
  return status;
}

OSStatus TestHost::cleanupInstance() {
  const OSStatus status = send(kPluginCleanupMessage, nullptr);
  refCon_ = nullptr;
  return status;
}

}  // namespace lumetra::test
