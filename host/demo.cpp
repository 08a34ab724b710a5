// The built-in demo signal: Lissajous figures made in code, no asset needed.
#include "host.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumetra {

namespace {

// One scene: the left channel runs at `left` times the base frequency, the right at `right`
// times it plus `detune` Hz, which turns the figure (one turn every 1/detune seconds). The
// amplitude stays even within a figure: the scope pairs sample k of one channel with sample
// 511 - k of the other, so anything but a steady level (a spiral's ramp, say) would come out
// torn.
struct Scene {
  int left, right;
  double detune;
};

constexpr Scene kScenes[] = {
    {1, 1, 0.30},  // line, ellipse, circle and back
    {1, 2, 0.25},  // figure of eight and parabola
    {1, 3, 0.20},
    {2, 3, 0.20},
    {3, 4, 0.20},
    {3, 5, 0.15},
    {4, 5, 0.15},
};
constexpr int kSceneCount = sizeof kScenes / sizeof kScenes[0];
constexpr std::int64_t kSceneLength = DemoSignal::kLength / kSceneCount;
// 44100 / 512 Hz: one period of the base is exactly one snapshot's 512 samples.
constexpr double kBase = static_cast<double>(kSampleRate) / 512.0;
constexpr double kLevel = 0.85;
constexpr double kFade = 0.2 * kSampleRate;  // samples of fade at each end of a scene

}  // namespace

DemoSignal::DemoSignal() = default;

std::int16_t DemoSignal::sampleAt(std::int64_t index, int channel) {
  if (index < 0 || index >= kLength) return 0;
  const int sceneIndex = static_cast<int>(std::min<std::int64_t>(index / kSceneLength, kSceneCount - 1));
  const Scene& scene = kScenes[sceneIndex];
  const std::int64_t inScene = index - sceneIndex * kSceneLength;
  const double t = static_cast<double>(index) / kSampleRate;
  const double edge = std::min<double>(static_cast<double>(inScene), static_cast<double>(kSceneLength - 1 - inScene));
  const double fade = edge >= kFade ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / kFade);
  const double amplitude = kLevel * fade;
  const double twoPi = 2.0 * std::numbers::pi;
  const double value = channel == 0 ? std::sin(twoPi * scene.left * kBase * t)
                                    : std::sin(twoPi * (scene.right * kBase + scene.detune) * t);
  return static_cast<std::int16_t>(std::lround(amplitude * value * 32767.0));
}

std::size_t DemoSignal::read(std::span<std::int16_t> out) {
  const std::size_t pairs = std::min<std::size_t>(out.size() / kChannels, static_cast<std::size_t>(kLength - position_));
  for (std::size_t i = 0; i < pairs; ++i) {
    out[2 * i] = sampleAt(position_, 0);
    out[2 * i + 1] = sampleAt(position_, 1);
    ++position_;
  }
  return pairs;
}

}  // namespace lumetra
