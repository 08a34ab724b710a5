// Analysis: the byte mappings, the waveform taken from the right samples, the spectrum peak
// of a known sine in its bin, and silence.
#include "host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

using lumetra::Analyzer;
using lumetra::kAnalysisWindow;

namespace {

// 1024 interleaved pairs; left and right from the two functions of the pair index.
template <class L, class R>
std::vector<std::int16_t> makeWindow(L left, R right) {
  std::vector<std::int16_t> w(kAnalysisWindow * 2);
  for (int i = 0; i < kAnalysisWindow; ++i) {
    w[2 * i] = left(i);
    w[2 * i + 1] = right(i);
  }
  return w;
}

std::int16_t sineAt(int i, double bin, double amplitude) {
  return static_cast<std::int16_t>(
      std::lround(amplitude * 32767.0 * std::sin(2.0 * std::numbers::pi * bin * i / kAnalysisWindow)));
}

TEST(Analysis, WaveformByteMapping) {
  struct Row {
    std::int16_t sample;
    int byte;
  } rows[] = {
      {0, 128},      {-32768, 0}, {32767, 255}, {256, 129}, {-256, 127},
      {127, 128},    {128, 129},  // 128 + 0.5 rounds up
      {-128, 128},   {-129, 127}, {16384, 192}, {-16384, 64},
  };
  for (const auto& r : rows) EXPECT_EQ(Analyzer::waveformByte(r.sample), r.byte) << r.sample;
}

TEST(Analysis, SpectrumByteMapping) {
  struct Row {
    double db;
    int byte;
  } rows[] = {{0.0, 255}, {6.0, 255}, {-96.0, 0}, {-200.0, 0}, {-48.0, 128}, {-6.0, 239}, {-95.8, 1}, {-INFINITY, 0}};
  for (const auto& r : rows) EXPECT_EQ(Analyzer::spectrumByte(r.db), r.byte) << r.db;
  EXPECT_EQ(Analyzer::spectrumByte(std::nan("")), 0);
}

TEST(Analysis, SilenceIsMidlineAndFloor) {
  Analyzer analyzer;
  RenderData data;
  std::memset(&data, 0xAB, sizeof data);
  const std::vector<std::int16_t> silence(kAnalysisWindow * 2, 0);
  analyzer.analyze(silence, data);
  EXPECT_EQ(data.numWaveformChannels, 2);
  EXPECT_EQ(data.numSpectrumChannels, 2);
  for (int c = 0; c < 2; ++c) {
    for (int k = 0; k < 512; ++k) {
      ASSERT_EQ(data.waveformData[c][k], 128) << c << " " << k;
      ASSERT_EQ(data.spectrumData[c][k], 0) << c << " " << k;
    }
  }
}

TEST(Analysis, WaveformIsTheLast512Samples) {
  // Left is a ramp over the window, right a constant; sample 512 + k is waveform byte k.
  Analyzer analyzer;
  RenderData data{};
  const auto w = makeWindow([](int i) { return static_cast<std::int16_t>(i * 64 - 32768); },
                            [](int) { return std::int16_t{-9000}; });
  analyzer.analyze(w, data);
  for (int k = 0; k < 512; ++k) {
    // (512 + k) x 64 - 32768 = 64k: byte = round(128 + 64k / 256) = 128 + round(k / 4), ties up.
    ASSERT_EQ(data.waveformData[0][k], std::min(255, 128 + (k + 2) / 4)) << k;
    ASSERT_EQ(data.waveformData[1][k], 93) << k;  // 128 - 35.16 = 92.84
  }
}

TEST(Analysis, SinePeaksInItsBin) {
  // Half scale on bin 40 (1722.7 Hz) left, quarter scale on bin 100 (4306.6 Hz) right.
  Analyzer analyzer;
  RenderData data{};
  const auto w = makeWindow([](int i) { return sineAt(i, 40, 0.5); }, [](int i) { return sineAt(i, 100, 0.25); });
  analyzer.analyze(w, data);
  struct Expect {
    int channel, bin;
    double db;
  } expects[] = {{0, 40, 20 * std::log10(0.5)}, {1, 100, 20 * std::log10(0.25)}};
  for (const auto& e : expects) {
    const auto* s = data.spectrumData[e.channel];
    const int peak = static_cast<int>(std::max_element(s, s + 512) - s);
    EXPECT_EQ(peak, e.bin) << "channel " << e.channel;
    // -6.02 dB reads 239, -12.04 dB reads 223 (255 x (96 + dB) / 96); int16 rounding may cost one step.
    EXPECT_NEAR(s[e.bin], 255.0 * (96.0 + e.db) / 96.0, 1.0) << "channel " << e.channel;
    // The Hann window's neighbours are 6 dB down, and far from the peak there is nothing.
    EXPECT_NEAR(s[e.bin + 1], 255.0 * (96.0 + e.db - 6.02) / 96.0, 1.0);
    EXPECT_LT(s[e.bin + 60], 10) << "channel " << e.channel;
    EXPECT_EQ(s[0], 0) << "no DC in a whole number of periods";
  }
  // The waveforms are the sines' own samples.
  for (int k = 0; k < 512; ++k) ASSERT_EQ(data.waveformData[0][k], Analyzer::waveformByte(sineAt(512 + k, 40, 0.5)));
}

TEST(Analysis, ShortWindowIsSilenceInFront) {
  // A window shorter than 1024 pairs (the start of a file) reads as silence before it.
  Analyzer analyzer;
  RenderData data{};
  std::vector<std::int16_t> w(100 * 2, 8192);
  analyzer.analyze(w, data);
  EXPECT_EQ(data.waveformData[0][411], 128);
  EXPECT_EQ(data.waveformData[0][412], 160);
  EXPECT_EQ(data.waveformData[1][511], 160);
}

}  // namespace
