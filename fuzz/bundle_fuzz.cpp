// The bundle's files as the platform reads them: Contents/Info (LumetraRegisterBundle) and the
// interface file (CreateNibReferenceWithCFBundle, CreateWindowFromNib), through the real
// platform library and real files in a temporary bundle folder.
//
// Input: the interface file; or Info, a line "%%", then the interface file (a separator, so
// that the seeds stay readable text). Without the separator Info is a valid one. Each input:
//   1. Info is written and registered: the status must be one the call documents;
//   2. a valid Info is registered under a fixed identifier and the interface file is opened
//      through that bundle: a documented status, and on success every window the file names
//      (and "PluginSettings") is made, shown, its controls listed, looked up by ID and
//      clicked, with and without a handler installed, then disposed of;
//   3. nothing the toolkit allocated for the file, its windows or its controls is left over.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "finding.h"
#include "scratch.h"
#include "platform.h"

namespace {

using lumetra::fuzz::Finding;

const std::filesystem::path& BundleFolder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path root = lumetra::fuzz::ScratchFolder("lumetra-fuzz-bundle");
    std::filesystem::create_directories(root / "Contents" / "Resources");
    return root;
  }();
  return folder;
}

void Write(const std::filesystem::path& file, std::string_view text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) Finding("cannot write " + file.string());
}

constexpr std::string_view kValidInfo = "identifier = Lumetra Fuzz.bundle\nexecutable = LumetraFuzz\nversion = 1.0\n";

// The names that follow `window "` in the text, for making each window the file describes.
std::set<std::string> WindowNames(std::string_view nib) {
  std::set<std::string> names = {"PluginSettings"};
  for (size_t at = nib.find("window \""); at != std::string_view::npos; at = nib.find("window \"", at + 1)) {
    const size_t start = at + 8;
    const size_t end = nib.find('"', start);
    if (end == std::string_view::npos || end - start > 80) continue;
    names.insert(std::string(nib.substr(start, end - start)));
    if (names.size() > 20) break;
  }
  return names;
}

OSStatus CountingHandler(EventHandlerCallRef, EventRef event, void* userData) {
  ControlRef hit = nullptr;
  if (GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof hit, nullptr, &hit) != noErr)
    Finding("a control hit carries no control");
  if (GetControlOwner(hit) == nullptr) Finding("the control that was hit has no window");
  ++*static_cast<int*>(userData);
  return noErr;
}

void ExerciseWindow(WindowRef window) {
  ShowWindow(window);
  ControlRef byId = nullptr;
  const ControlID ids[] = {{LUMETRA_FOURCC('c', 'b', 'o', 'x'), 3}, {LUMETRA_FOURCC('c', 'b', 'o', 'x'), 4},
                           {LUMETRA_FOURCC('b', 't', 't', 'n'), 5}};
  for (const ControlID& id : ids) {
    const OSStatus s = GetControlByID(window, &id, &byId);
    if (s != noErr && s != controlNotFoundErr) Finding("GetControlByID answered " + std::to_string(s));
    if ((s == noErr) != (byId != nullptr)) Finding("GetControlByID's control does not match its status");
  }
  // Find the window among the visible ones and click each of its controls, first with no
  // handler, then with one.
  int hits = 0;
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      const EventTypeSpec type = {kEventClassControl, kEventControlHit};
      const OSStatus s =
          InstallEventHandler(GetWindowEventTarget(window), NewEventHandlerUPP(CountingHandler), 1, &type, &hits, nullptr);
      if (s != noErr) Finding("InstallEventHandler answered " + std::to_string(s));
    }
    LumetraWindowInfo info{};
    bool found = false;
    for (ItemCount i = 0; i < LumetraCountVisibleWindows() && !found; ++i) {
      if (LumetraGetVisibleWindow(i, &info) != noErr) Finding("a visible window cannot be listed");
      found = info.window == window;
    }
    if (!found) Finding("a shown window is not among the visible ones");
    if (info.width < 1 || info.height < 1 || info.width > 4096 || info.height > 4096)
      Finding("a window has a size its file cannot give it");
    for (ItemCount i = 0; i < info.controlCount; ++i) {
      LumetraControlInfo control{};
      if (LumetraGetWindowControl(window, i, &control) != noErr) Finding("a control cannot be listed");
      const Rect& f = control.frame;
      if (f.top >= f.bottom || f.left >= f.right || f.top < 0 || f.left < 0 || f.bottom > info.height ||
          f.right > info.width)
        Finding("a control's frame is empty or outside its window");
      ControlID id{};
      if (GetControlID(control.control, &id) != noErr || id.signature != control.id.signature || id.id != control.id.id)
        Finding("GetControlID differs from the listed ID");
      const int before = hits;
      const OSStatus s = LumetraClickControl(control.control);
      if (pass == 0 && s != eventNotHandledErr) Finding("a click with no handler answered " + std::to_string(s));
      if (pass == 1 && (s != noErr || hits != before + 1)) Finding("a click did not reach the installed handler");
    }
    LumetraControlInfo none{};
    if (LumetraGetWindowControl(window, info.controlCount, &none) != paramErr)
      Finding("a control past the last one can be listed");
  }
  HideWindow(window);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view info = kValidInfo;
  std::string_view nib = input;
  if (const size_t at = input.find("\n%%\n"); at != std::string_view::npos) {
    info = input.substr(0, at + 1);
    nib = input.substr(at + 4);
  }
  const std::filesystem::path& folder = BundleFolder();
  LumetraUnregisterAllBundles();

  // 1. The fuzzed Info.
  Write(folder / "Contents" / "Info", info);
  const OSStatus registered = LumetraRegisterBundle(folder.c_str());
  if (registered != noErr && registered != bundleInfoNotFoundErr && registered != bundleInfoMalformedErr)
    Finding("LumetraRegisterBundle answered " + std::to_string(registered));
  LumetraUnregisterAllBundles();

  // 2. The fuzzed interface file, through a bundle with a valid Info.
  Write(folder / "Contents" / "Info", kValidInfo);
  if (LumetraRegisterBundle(folder.c_str()) != noErr) Finding("a valid Info was refused");
  Write(folder / "Contents" / "Resources" / "SettingsDialog.nib", nib);
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("Lumetra Fuzz.bundle"));
  if (!bundle) Finding("the registered bundle is not found by its identifier");
  std::vector<CFStringRef> names;
  for (const std::string& name : WindowNames(nib)) names.push_back(__CFStringMakeConstantString(name.c_str()));
  CFStringRef nibName = CFSTR("SettingsDialog");

  // Everything made from here on must be gone again at the end.
  const long blocks = LumetraLiveToolkitBlockCount();
  const ItemCount windows = LumetraCountWindows();
  IBNibRef ref = nullptr;
  const OSStatus opened = CreateNibReferenceWithCFBundle(bundle, nibName, &ref);
  if (opened != noErr && opened != nibMalformedErr && opened != nibFileNotFoundErr)
    Finding("CreateNibReferenceWithCFBundle answered " + std::to_string(opened));
  if ((opened == noErr) != (ref != nullptr)) Finding("the interface file reference does not match its status");
  if (ref) {
    std::vector<WindowRef> made;
    for (CFStringRef name : names) {
      if (!name) continue;  // a name the toolkit refuses as a string
      WindowRef window = nullptr;
      const OSStatus s = CreateWindowFromNib(ref, name, &window);
      if (s != noErr && s != nibObjectNotFoundErr && s != paramErr)
        Finding("CreateWindowFromNib answered " + std::to_string(s));
      if ((s == noErr) != (window != nullptr)) Finding("the window does not match CreateWindowFromNib's status");
      if (window) made.push_back(window);
    }
    DisposeNibReference(ref);  // windows outlive the reference
    for (WindowRef window : made) {
      ExerciseWindow(window);
      DisposeWindow(window);
    }
  }
  if (LumetraCountWindows() != windows) Finding("a window made from the interface file was left over");
  if (LumetraLiveToolkitBlockCount() != blocks) Finding("the toolkit kept blocks after everything was disposed of");
  LumetraUnregisterAllBundles();
  return 0;
}
