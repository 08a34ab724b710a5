// The built-in demo signal: Lissajous figures made in code, no asset needed.
#include "host.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumetra {

namespace {

// One scene: the left channel runs at `left` times the base frequency, the right at `right`
// times it plus `detune` Hz, which turns the figure (one turn every 1/detune seconds).
// `spiral` makes the amplitude a ramp that rises over each figure, drawing a spiral.
struct Scene {
  int left, right;
  double detune;
  bool spiral;
};

constexpr Scene kScenes[] = {
    {1, 1, 0.30, false},  // line, ellipse, circle and back
    {1, 2, 0.25, false},  // figure of eight and parabola
    {2, 3, 0.20, false},
    {3, 4, 0.20, false},
    {3, 5, 0.15, false},
    {4, 5, 0.15, false},
    {3, 3, 0.00, true},   // a three-turn spiral to close
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
  double amplitude = kLevel * fade;
  if (scene.spiral) amplitude *= 0.1 + 0.9 * static_cast<double>(index % 512) / 512.0;
  const double twoPi = 2.0 * std::numbers::pi;
  const double value = channel == 0 ? std::sin(twoPi * scene.left * kBase * t)
                                    : (scene.spiral ? std::cos(twoPi * scene.right * kBase * t)
                                                    : std::sin(twoPi * (scene.right * kBase + scene.detune) * t));
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
