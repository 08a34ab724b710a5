// A host for tests: loads the built bundle the way the player does (dlopen from the bundle
// folder), answers the host callback, records every call block it gets, and drives the
// registered handler.
//
//   lumetra::test::TestHost host;          // loads $LUMETRA_BUNDLE_DIR
//   ASSERT_EQ(host.initInstance(), noErr); // entry 'init' ('rvis'), then handler 'init' ('pspc')
//   VisualMessageBlock block{};
//   host.send(kVisualPluginUnpauseMessage, &block);
//   auto* state = static_cast<VisualPluginState*>(host.refCon());
//
// Failures to load throw std::runtime_error with the reason, which GoogleTest reports.
#ifndef LUMETRA_TESTS_TESTHOST_H
#define LUMETRA_TESTS_TESTHOST_H

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostapi.h"

namespace lumetra::test {

// One call of the host callback, as it arrived.
struct HostCall {
  OSType selector = 0;
  // The sizeof(HostCallBlock) bytes of the block when the callback was entered (before the
  // host wrote anything into it); empty if the block address was null.
  std::vector<uint8_t> bytes;
  // The block's address as the plug-in passed it; valid only while the call lasted.
  HostCallBlock* address = nullptr;

  // The recorded bytes as a block, for reading fields through the structs.
  HostCallBlock block() const;
};

// The bundle folder the build laid out: $LUMETRA_BUNDLE_DIR, else the one this build made.
std::string defaultBundleDir();

class TestHost {
 public:
  using CallHook = std::function<void(HostCallBlock&)>;

  explicit TestHost(std::string bundleDir = defaultBundleDir());
  // Sends 'clr ' to a live instance and to the entry point, then unloads the bundle.
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  const std::string& bundleDir() const { return bundleDir_; }
  // The shared object's path inside the bundle (Contents/Linux/<executable>.so).
  const std::string& executablePath() const { return executablePath_; }

  // A symbol of the bundle's dynamic table, or null.
  void* symbol(const char* name) const;
  // A symbol as a typed function pointer; throws if it is missing.
  template <class F>
  F function(const char* name) const {
    void* p = symbol(name);
    if (!p) throw std::runtime_error(std::string("the bundle does not export ") + name);
    return reinterpret_cast<F>(p);
  }

  // What the plug-in needs to call back into this host.
  void* cookie() { return this; }
  ITAppProcPtr hostProc() const { return &HostCallback; }
  static OSStatus HostCallback(void* cookie, OSType selector, HostCallBlock* block);

  // ---- Answers to the plug-in's calls ----
  // The status answered for selector from now on (0 unless set).
  void setStatus(OSType selector, OSStatus status) { statuses_[selector] = status; }
  // Runs after the call is recorded, before the host's own action and answer; lets a test
  // write into the block as a host would (read-back values).
  void onCall(OSType selector, CallHook hook) { hooks_[selector] = std::move(hook); }
  // Built in: 'rvis' remembers the registered handler and its reference value; 'pspc' writes
  // the bundle folder's file specification at the address in the block when the status for
  // 'pspc' is 0 (a failing host writes nothing).

  const std::vector<HostCall>& calls() const { return calls_; }
  std::vector<HostCall> callsFor(OSType selector) const;
  void clearCalls() { calls_.clear(); }

  // ---- The entry point ----
  OSStatus callEntry(OSType message, PluginMessageBlock* block, void* refCon = nullptr);
  // 'init' to the entry point with a block carrying this host's cookie and callback.
  OSStatus registerPlugin();

  // What the last 'rvis' registered (null before any).
  VisualPluginProcPtr handler() const { return handler_; }
  void* handlerRefCon() const { return handlerRefCon_; }

  // ---- The handler ----
  // A message to the registered handler with the instance's reference value; throws if no
  // handler has been registered.
  OSStatus send(OSType message, VisualMessageBlock* block);
  OSStatus sendWithRefCon(OSType message, VisualMessageBlock* block, void* refCon);

  // Registers the plug-in if that has not happened yet, then sends the handler 'init' with a
  // block carrying this host's cookie and callback, and keeps the reference value written at
  // offset 24 as refCon(). Answers the handler's status (the 'rvis' one if registering fails).
  OSStatus initInstance();
  // 'clr ' to the handler with refCon(), which is forgotten afterwards.
  OSStatus cleanupInstance();
  // The reference value the handler wrote on its last 'init' (null before, and after 'clr ').
  void* refCon() const { return refCon_; }

 private:
  OSStatus answer(OSType selector, HostCallBlock* block);
  static std::set<TestHost*>& liveHosts();

  std::string bundleDir_;
  std::string executablePath_;
  void* library_ = nullptr;
  using EntryProc = OSStatus (*)(OSType, PluginMessageBlock*, void*);
  EntryProc entry_ = nullptr;
  bool registered_ = false;

  std::map<OSType, OSStatus> statuses_;
  std::map<OSType, CallHook> hooks_;
  std::vector<HostCall> calls_;

  VisualPluginProcPtr handler_ = nullptr;
  void* handlerRefCon_ = nullptr;
  void* refCon_ = nullptr;
};

// 'abcd' as text, for messages.
std::string fourCC(OSType code);

}  // namespace lumetra::test

#endif
