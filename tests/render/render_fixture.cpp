#include "render_fixture.h"

#include <cstring>
#include <sstream>

#include "bundle_symbols.h"
#include "reference.h"

namespace lumetra::test {

Window::Window(Rect bounds, int32_t rowBytes) : pixels_(32, bounds, rowBytes) {
  pixels_.fill(kUntouched);
  port_ = LumetraNewWindowPort(pixels_.base(), pixels_.rowBytes(), &bounds);
  if (!port_) throw std::runtime_error("LumetraNewWindowPort failed");
}

Window::~Window() { LumetraDisposeWindowPort(port_); }

std::vector<UInt32> Window::region(const Rect& r) const {
  std::vector<UInt32> out;
  for (int v = r.top; v < r.bottom; ++v)
    for (int h = r.left; h < r.right; ++h) out.push_back(at(h, v));
  return out;
}

Snapshot::Snapshot() {
  data.numWaveformChannels = 2;
  data.numSpectrumChannels = 2;
  for (int c = 0; c < kVisualMaxDataChannels; ++c)
    for (int i = 0; i < kVisualNumSpectrumEntries; ++i) data.spectrumData[c][i] = static_cast<UInt8>(i * 7 + c);
}

Snapshot Snapshot::Zero() {
  Snapshot s;
  std::memset(&s.data, 0, sizeof s.data);
  return s;
}

Snapshot Snapshot::Of(const std::function<UInt8(int)>& channel0, const std::function<UInt8(int)>& channel1) {
  Snapshot s;
  for (int i = 0; i < kVisualNumWaveformEntries; ++i) {
    s.data.waveformData[0][i] = channel0(i);
    s.data.waveformData[1][i] = channel1(i);
  }
  return s;
}

Snapshot Snapshot::Constant(UInt8 channel0, UInt8 channel1) {
  return Of([=](int) { return channel0; }, [=](int) { return channel1; });
}

Snapshot Snapshot::Ramp() {
  auto ramp = [](int j) { return static_cast<UInt8>(j / 2); };
  return Of(ramp, ramp);
}

Settings::Settings(const TestHost& host)
    : color_(static_cast<UInt8*>(HiddenBundleObject(host, "gColorFlag"))),
      flash_(static_cast<UInt8*>(HiddenBundleObject(host, "gFlashFlag"))),
      savedColor_(*color_),
      savedFlash_(*flash_) {}

Settings::~Settings() {
  *color_ = savedColor_;
  *flash_ = savedFlash_;
}

void RenderTest::SetUp() {
  GetGWorld(&startPort_, &startDevice_);
  host_ = std::make_unique<TestHost>();
  ASSERT_EQ(host_->initInstance(), noErr);
  ASSERT_NE(state(), nullptr);
  settings_ = std::make_unique<Settings>(*host_);
}

void RenderTest::TearDown() {
  LumetraFailNthNewGWorld(0);
  settings_.reset();
  host_.reset();  // 'clr ' to the instance and the entry point, then unload
  SetGWorld(startPort_, startDevice_);
}

OSStatus RenderTest::show(CGrafPtr port, Rect rect, UInt32 options, OSType message) {
  VisualMessageBlock block{};
  block.u.showWindowMessage.port = port;
  block.u.showWindowMessage.drawRect = rect;
  block.u.showWindowMessage.options = options;
  return host_->send(message, &block);
}

OSStatus RenderTest::render(const RenderData* data, UInt32 timeStamp) {
  VisualMessageBlock block{};
  block.u.renderMessage.renderData = data;
  block.u.renderMessage.timeStampID = timeStamp;
  return host_->send(kVisualPluginRenderMessage, &block);
}

OSStatus RenderTest::send(OSType message) {
  VisualMessageBlock block{};
  return host_->send(message, &block);
}

std::vector<UInt32> RenderTest::worldPixels() const {
  std::vector<UInt32> out;
  PixMapHandle pm = GetGWorldPixMap(state()->offscreenWorld);
  if (!pm) return out;
  const Rect& b = (*pm)->bounds;
  for (int v = 0; v < b.bottom - b.top; ++v)
    for (int h = 0; h < b.right - b.left; ++h) {
      UInt32 p;
      std::memcpy(&p, GetPixBaseAddr(pm) + GetPixRowBytes(pm) * v + h * 4, 4);
      out.push_back(p);
    }
  return out;
}

::testing::AssertionResult SameImage(const std::vector<UInt32>& actual, const std::vector<UInt32>& expected,
                                     int width) {
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure() << "sizes differ: " << actual.size() << " pixels, expected "
                                         << expected.size();
  for (size_t i = 0; i < actual.size(); ++i)
    if (actual[i] != expected[i]) {
      std::ostringstream out;
      out << "first difference at column " << i % width << ", row " << i / width << ": 0x" << std::hex
          << actual[i] << ", expected 0x" << expected[i];
      return ::testing::AssertionFailure() << out.str();
    }
  return ::testing::AssertionSuccess();
}

}  // namespace lumetra::test

namespace lumetra::test {

std::vector<UInt32> ExpectedScope(const RenderData& data, int width, int height) {
  const Rect bounds = {0, 0, static_cast<SInt16>(height), static_cast<SInt16>(width)};
  ref::Image image(32, bounds);
  ref::FillRectColor(image, 0, 0, height, width, RGBColor{0, 0, 0});
  // Scales rounded to single precision from a double quotient; products in single precision,
  // truncated toward zero.
  const float hScale = static_cast<float>(width / 255.0);
  const float vScale = static_cast<float>(height / 255.0);
  auto point = [&](int k) {
    const float h = static_cast<float>(data.waveformData[0][k]) * hScale;
    const float v = static_cast<float>(data.waveformData[1][kVisualNumWaveformEntries - 1 - k]) * vScale;
    return std::pair<int, int>{static_cast<int>(h), static_cast<int>(v)};
  };
  for (int k = 1; k < kVisualNumWaveformEntries; ++k) {
    const auto [h0, v0] = point(k - 1);
    const auto [h1, v1] = point(k);
    ref::Line(image, 32, h0, v0, h1, v1, kGreen);
  }
  return image.pixels;
}

}  // namespace lumetra::test
