// The whole frame: 'vrnd' sent to the real bundle's handler (loaded as the player loads it),
// drawn into the instance's world and copied onto a window port over host memory; against a
// hand-written frame of the same work (memset clear, 511 Bresenham segments of the same figure,
// memcpy out). The ours benchmark also counts what the frames allocate.
#include <cstdlib>
#include <cstring>

#include "bench.h"
#include "testhost.h"

namespace lumetra::bench {
namespace {

const Size kFrameSizes[] = {{1920, 1080}, {1280, 720}, {640, 480}};

void OurFrame(benchmark::State& state, Size size) {
  test::TestHost host;
  if (host.initInstance() != noErr) return state.SkipWithError("the handler refused 'init'");
  Buffer window(size, 32);
  const Rect rect = window.bounds();
  CGrafPtr port = LumetraNewWindowPort(window.bytes(), window.rowBytes(), &rect);
  if (!port) return state.SkipWithError("no window port");
  VisualMessageBlock block{};
  block.u.showWindowMessage = {port, rect, 0};
  if (host.send(kVisualPluginShowWindowMessage, &block) != noErr) return state.SkipWithError("'show' failed");
  block = {};
  host.send(kVisualPluginUnpauseMessage, &block);

  RenderData data{};
  data.numWaveformChannels = 2;
  LissajousWaveform(data.waveformData[0], data.waveformData[1]);
  block = {};
  block.u.renderMessage = {&data, 0};

  // The count must move when memory is taken, or its 0 below would mean nothing.
  const long before = AllocationCount();
  void* volatile probe = std::malloc(16);
  std::free(probe);
  if (AllocationCount() == before) return state.SkipWithError("the allocation counter does not count");

  const long allocations = AllocationCount();
  const long blocks = LumetraLivePtrCount();
  for (auto _ : state) {
    host.send(kVisualPluginRenderMessage, &block);
    benchmark::ClobberMemory();
  }
  const long made = AllocationCount() - allocations + (LumetraLivePtrCount() - blocks);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("frame");
  state.counters["allocations_per_frame"] = static_cast<double>(made) / static_cast<double>(state.iterations());

  block = {};
  host.send(kVisualPluginHideWindowMessage, &block);
  LumetraDisposeWindowPort(port);
}

void HandFrame(benchmark::State& state, Size size) {
  Buffer world(size, 32), window(size, 32);
  const std::vector<Segment> segments = ScopeSegments(size);
  for (auto _ : state) {
    std::memset(world.bytes(), 0, world.byteCount());
    for (const Segment& s : segments)
      HandLine<uint32_t>(world.bytes(), world.rowBytes(), size.width, size.height, s, 0x0000FF00u);
    std::memcpy(window.bytes(), world.bytes(), world.byteCount());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("frame");
}

}  // namespace

void RegisterFrames() {
  for (const Size& size : kFrameSizes) {
    benchmark::RegisterBenchmark(("Frame/ours/" + size.name()).c_str(), OurFrame, size);
    benchmark::RegisterBenchmark(("Frame/hand_frame/" + size.name()).c_str(), HandFrame, size);
  }
}

}  // namespace lumetra::bench
