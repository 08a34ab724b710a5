// Fault injection over a whole play run through the real bundle: init, show, frames, the
// settings window (made, clicked, closed) and keys, a resize, hide and clean-up.
//
// The walk arms the platform to fail the n-th allocation (or the n-th NewGWorld) from the
// start of the run, for n = 1, 2, ... until a run ends with the failure still pending, that is
// until n is past the last allocation the run makes. Every run must then hold up:
//   - the one step that meets the failure answers its documented status: -108 for 'init' (no
//     record, nothing written), the platform's status for 'show' and 'swin' (no port, no world,
//     nothing drawn), 0 for 'cnfg' (the window is just not there yet);
//   - the same step sent again works, and every later step answers as in a clean run, with the
//     frames drawn exactly as the reference model draws them;
//   - at the end no record, world or toolkit block is left over.
// The host's own objects (its window port, the bundle's registration) are made before the run
// and are not part of the walk; nor are the settings window's constant strings, which the
// platform keeps for the life of the process once made (the warm-up run makes them).
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "render_fixture.h"

namespace lumetra::test {
namespace {

enum class Fault { Allocation, NewGWorld };

const char* Name(Fault f) { return f == Fault::Allocation ? "allocation" : "NewGWorld call"; }

void Arm(Fault f, long n) {
  if (f == Fault::Allocation)
    LumetraFailNthAllocation(n);
  else
    LumetraFailNthNewGWorld(n);
}

// Whether a failure armed to strike the n-th call from the start of the run has not struck
// yet: if the run made m < n such calls, the (n - m)-th of n probing calls fails. Cancels the
// failure either way.
bool StillPending(Fault f, long n) {
  bool pending = false;
  std::vector<Ptr> blocks;
  for (long i = 0; i < n && !pending; ++i) {
    if (f == Fault::Allocation) {
      Ptr p = NewPtrClear(1);
      pending = !p;
      if (p) blocks.push_back(p);
    } else {
      GWorldPtr world = nullptr;
      const Rect one = {0, 0, 1, 1};
      pending = NewGWorld(&world, 32, &one, nullptr, nullptr, 0) != noErr;
      DisposeGWorld(world);
    }
  }
  for (Ptr p : blocks) DisposePtr(p);
  Arm(f, 0);
  return pending;
}

constexpr Rect kWindowBounds = {0, 0, 130, 170};
constexpr Rect kFirst = {10, 10, 90, 130};  // 'show'
constexpr Rect kSecond = {0, 5, 100, 155};  // 'swin': the resize

// What one run saw: the steps that met the failure, and every problem (empty: none).
struct RunReport {
  std::vector<std::string> failedSteps;
  std::vector<std::string> problems;
};

class PlayRun {
 public:
  PlayRun(Fault fault, long n) : fault_(fault), n_(n) {}

  RunReport run() {
    const long records = LumetraLivePtrCount();
    const long worlds = LumetraLiveGWorldCount();
    {
      TestHost host;
      host_ = &host;
      Window window(kWindowBounds);
      window_ = &window;
      const Snapshot ramp = Snapshot::Ramp();
      const std::vector<UInt32> firstFrame = ExpectedScope(ramp.data, 120, 80);
      const std::vector<UInt32> secondFrame = ExpectedScope(ramp.data, 150, 100);

      Arm(fault_, n_);
      expect("entry 'init'", host.registerPlugin() == noErr);
      step("'init'", [&] { return init(); });
      step("'show'", [&] { return show(kVisualPluginShowWindowMessage, kFirst); });
      expect("'vply'", play() == noErr);
      for (int frame = 0; frame < 2; ++frame) {
        expect("'vrnd'", render(ramp) == noErr);
        expect("the first frame", SameImage(window.region(kFirst), firstFrame, 120));
      }
      step("'cnfg'", [&] { return configure(); });
      settings();
      step("'swin'", [&] { return show(kVisualPluginSetWindowMessage, kSecond); });
      expect("'vrnd' after the resize", render(ramp) == noErr);
      expect("the frame after the resize", SameImage(window.region(kSecond), secondFrame, 150));
      expect("'vupd'", send(kVisualPluginUpdateMessage) == noErr);
      expect("'hide'", send(kVisualPluginHideWindowMessage) == noErr);
      expect("no world after 'hide'", LumetraLiveGWorldCount() == worlds);
      expect("'clr '", host.cleanupInstance() == noErr);
      expect("no record after 'clr '", LumetraLivePtrCount() == records);
      pending_ = StillPending(fault_, n_);
    }
    expect("no world at the end", LumetraLiveGWorldCount() == worlds);
    expect("no record at the end", LumetraLivePtrCount() == records);
    expect("no window once the bundle is unloaded", LumetraCountWindows() == 0);
    return report_;
  }

  bool failureStillPending() const { return pending_; }

 private:
  // A step that may meet the failure: it answers {status, met}; met says that the answer is
  // the documented one for a failure and the failure's effects were checked. Then it is sent
  // again, and must work.
  struct Outcome {
    bool ok;
    bool metFailure;
  };
  void step(const std::string& name, const std::function<Outcome()>& send) {
    const Outcome first = send();
    if (!first.metFailure) {
      expect(name, first.ok);
      return;
    }
    report_.failedSteps.push_back(name);
    const Outcome again = send();
    expect(name + " sent again after the failure", again.ok && !again.metFailure);
  }

  void expect(const std::string& what, bool ok) {
    if (!ok) report_.problems.push_back(what);
  }

  VisualPluginState* state() const { return static_cast<VisualPluginState*>(host_->refCon()); }

  OSStatus send(OSType message, VisualMessageBlock* block = nullptr) {
    VisualMessageBlock empty{};
    return host_->send(message, block ? block : &empty);
  }

  Outcome init() {
    const long records = LumetraLivePtrCount();
    const OSStatus status = host_->initInstance();
    if (status == memFullErr && fault_ == Fault::Allocation) {
      expect("'init' without memory writes no record", host_->refCon() == nullptr);
      expect("'init' without memory allocates nothing", LumetraLivePtrCount() == records);
      return {false, true};
    }
    return {status == noErr && state() != nullptr, false};
  }

  Outcome show(OSType message, const Rect& rect) {
    if (!state()) return {false, false};
    const std::vector<UInt32> before = window_->region(kWindowBounds);
    const long worlds = LumetraLiveGWorldCount();
    VisualMessageBlock block{};
    block.u.showWindowMessage = {window_->port(), rect, 0};
    const OSStatus status = send(message, &block);
    if (status == memFullErr) {
      expect(fourCC(message) + " that failed holds no port", state()->destPort == nullptr);
      expect(fourCC(message) + " that failed holds no world", state()->offscreenWorld == nullptr);
      expect(fourCC(message) + " that failed keeps the rectangle", EqualRect(&state()->destRect, &rect));
      expect(fourCC(message) + " that failed leaves no world", LumetraLiveGWorldCount() <= worlds);
      expect(fourCC(message) + " that failed draws nothing", window_->region(kWindowBounds) == before);
      return {false, true};
    }
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const bool shown = status == noErr && state()->destPort == window_->port() && state()->offscreenWorld &&
                       SameImage(window_->region(rect), std::vector<UInt32>(size_t(width) * height, kBlack), width);
    return {shown, false};
  }

  OSStatus play() {
    VisualMessageBlock block{};
    return send(kVisualPluginPlayMessage, &block);
  }

  OSStatus render(const Snapshot& snapshot) {
    VisualMessageBlock block{};
    block.u.renderMessage = {&snapshot.data, 1000};
    return send(kVisualPluginRenderMessage, &block);
  }

  // 'cnfg' always answers 0; a failure shows as a settings window that is not there.
  Outcome configure() {
    const long blocks = LumetraLiveToolkitBlockCount();
    const bool existed = LumetraCountWindows() > 0;
    if (send(kVisualPluginConfigureMessage) != noErr) return {false, false};
    const bool visible = LumetraCountVisibleWindows() == 1;
    if (!visible) {
      expect("'cnfg' that could not make the window keeps no part of it",
             !existed && LumetraCountWindows() == 0 && LumetraLiveToolkitBlockCount() <= blocks);
      return {false, true};
    }
    return {true, false};
  }

  // Clicks colour and flash and toggles them back with keys, so every run ends with the
  // flags it started with; then the window's own button closes it.
  void settings() {
    LumetraWindowInfo info{};
    if (LumetraGetVisibleWindow(0, &info) != noErr) return expect("the settings window is listed", false);
    auto click = [&](SInt32 number) {
      for (ItemCount i = 0; i < info.controlCount; ++i) {
        LumetraControlInfo control{};
        if (LumetraGetWindowControl(info.window, i, &control) == noErr && control.id.id == number)
          return LumetraClickControl(control.control);
      }
      return OSStatus{controlNotFoundErr};
    };
    auto key = [&](char c) {
      EventRecord event{};
      event.what = keyDown;
      event.message = static_cast<UInt8>(c);
      VisualMessageBlock block{};
      block.u.eventMessage.event = &event;
      return send(kVisualPluginEventMessage, &block);
    };
    expect("a click on the colour check box", click(3) == noErr);
    expect("'vevt' with \"C\"", key('C') == noErr);
    expect("a click on the flash check box", click(4) == noErr);
    expect("'vevt' with \"f\"", key('f') == noErr);
    expect("a click on the closing button", click(5) == noErr);
    expect("the closing button hides the window", LumetraCountVisibleWindows() == 0);
  }

  Fault fault_;
  long n_;
  TestHost* host_ = nullptr;
  Window* window_ = nullptr;
  RunReport report_;
  bool pending_ = false;
};

class WalkTest : public ::testing::TestWithParam<Fault> {};

TEST_P(WalkTest, EveryFailureOfAPlayRunIsAnsweredAndLeavesNothing) {
  const Fault fault = GetParam();
  // Warm-up: a clean run makes what lives for the process (the constant strings).
  PlayRun warmUp(fault, 0);
  const RunReport clean = warmUp.run();
  ASSERT_TRUE(clean.problems.empty()) << "the clean run failed at " << clean.problems.front();
  const long toolkitBlocks = LumetraLiveToolkitBlockCount();

  constexpr long kLimit = 5000;
  long n = 1;
  std::vector<std::string> met;
  for (; n <= kLimit; ++n) {
    PlayRun run(fault, n);
    const RunReport report = run.run();
    for (const std::string& problem : report.problems)
      ADD_FAILURE() << Name(fault) << " " << n << " made to fail: " << problem;
    EXPECT_EQ(LumetraLiveToolkitBlockCount(), toolkitBlocks) << Name(fault) << " " << n << " left toolkit blocks";
    if (HasFailure()) break;
    if (run.failureStillPending()) {
      EXPECT_TRUE(report.failedSteps.empty()) << Name(fault) << " " << n << " was never met, yet a step failed";
      break;
    }
    // The failure struck; whether a step saw it or the plug-in absorbed it (a host-side
    // call that made no difference to the answers), the run held up.
    for (const std::string& s : report.failedSteps) met.push_back(std::to_string(n) + ": " + s);
  }
  ASSERT_LE(n, kLimit) << "the run never stopped allocating";
  // Every kind of documented failure was met on the way.
  auto metStep = [&](const std::string& name) {
    for (const std::string& m : met)
      if (m.ends_with(name)) return true;
    return false;
  };
  if (fault == Fault::Allocation) {
    EXPECT_TRUE(metStep("'init'")) << "no allocation failure reached 'init'";
    EXPECT_TRUE(metStep("'cnfg'")) << "no allocation failure reached 'cnfg'";
  }
  EXPECT_TRUE(metStep("'show'")) << "no failure reached 'show'";
  EXPECT_TRUE(metStep("'swin'")) << "no failure reached 'swin'";
  std::string walked;
  for (const std::string& m : met) walked += "  " + m + "\n";
  RecordProperty("failures", static_cast<int>(n - 1));
  std::cout << Name(fault) << ": " << (n - 1) << " failures walked; the steps that met one:\n" << walked;
}

INSTANTIATE_TEST_SUITE_P(Faults, WalkTest, ::testing::Values(Fault::Allocation, Fault::NewGWorld),
                         [](const auto& info) { return info.param == Fault::Allocation ? "Allocation" : "NewGWorld"; });

}  // namespace
}  // namespace lumetra::test
