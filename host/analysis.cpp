// Analysis: the waveform and spectrum bytes of one snapshot.
#include "host.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumetra {

struct Analyzer::Impl {
  AVTXContext* tx = nullptr;
  av_tx_fn fft = nullptr;
  AVComplexFloat* in = nullptr;
  AVComplexFloat* out = nullptr;
  float window[kAnalysisWindow];
  double gain[kVisualNumSpectrumEntries];  // turns |X[k]| into a fraction of full scale

  Impl() {
    float scale = 1.0f;
    if (av_tx_init(&tx, &fft, AV_TX_FLOAT_FFT, 0, kAnalysisWindow, &scale, 0) < 0)
      throw HostError("the FFT could not be set up; this FFmpeg build lacks av_tx");
    in = static_cast<AVComplexFloat*>(av_malloc(sizeof(AVComplexFloat) * kAnalysisWindow));
    out = static_cast<AVComplexFloat*>(av_malloc(sizeof(AVComplexFloat) * kAnalysisWindow));
    if (!in || !out) throw HostError("out of memory setting up the analysis");
    // The periodic Hann window; its sum is N / 2.
    double sum = 0;
    for (int n = 0; n < kAnalysisWindow; ++n) {
      window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kAnalysisWindow));
      sum += window[n];
    }
    // A sine of amplitude A centred on bin k > 0 gives |X[k]| = A x sum / 2; a constant A
    // gives |X[0]| = A x sum. Samples are scaled so that full scale is 1.
    for (int k = 0; k < kVisualNumSpectrumEntries; ++k) gain[k] = (k == 0 ? 1.0 : 2.0) / (sum * 32768.0);
  }
  ~Impl() {
    av_tx_uninit(&tx);
    av_free(in);
    av_free(out);
  }
};

Analyzer::Analyzer() : impl_(std::make_unique<Impl>()) {}
Analyzer::~Analyzer() = default;

std::uint8_t Analyzer::waveformByte(std::int16_t sample) {
  // 128 + s / 256 rounded half up, in integers: (s + 32768 + 128) / 256, then clamped.
  const int v = (static_cast<int>(sample) + 32768 + 128) >> 8;
  return static_cast<std::uint8_t>(std::min(v, 255));
}

std::uint8_t Analyzer::spectrumByte(double dbfs) {
  if (!(dbfs > kSpectrumFloorDb)) return 0;  // also -inf and NaN
  const double v = std::round(255.0 * (dbfs - kSpectrumFloorDb) / -kSpectrumFloorDb);
  return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

void Analyzer::analyze(std::span<const std::int16_t> window, RenderData& out) {
  auto& d = *impl_;
  out.numWaveformChannels = 2;
  out.numSpectrumChannels = 2;
  const std::size_t pairs = std::min<std::size_t>(window.size() / kChannels, kAnalysisWindow);
  for (int channel = 0; channel < kChannels; ++channel) {
    // The window is taken as ending at its last pair; anything missing in front is silence.
    auto sampleAt = [&](int n) -> std::int16_t {
      const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(n) - (kAnalysisWindow - static_cast<std::ptrdiff_t>(pairs));
      return i < 0 ? std::int16_t{0} : window[static_cast<std::size_t>(i) * kChannels + channel];
    };
    for (int k = 0; k < kVisualNumWaveformEntries; ++k)
      out.waveformData[channel][k] = waveformByte(sampleAt(kAnalysisWindow - kVisualNumWaveformEntries + k));
    for (int n = 0; n < kAnalysisWindow; ++n) {
      d.in[n].re = d.window[n] * static_cast<float>(sampleAt(n));
      d.in[n].im = 0.0f;
    }
    d.fft(d.tx, d.out, d.in, sizeof(AVComplexFloat));
    for (int k = 0; k < kVisualNumSpectrumEntries; ++k) {
      const double re = d.out[k].re, im = d.out[k].im;
      const double magnitude = std::sqrt(re * re + im * im) * d.gain[k];
      out.spectrumData[channel][k] = spectrumByte(magnitude > 0 ? 20.0 * std::log10(magnitude) : -INFINITY);
    }
  }
}

}  // namespace lumetra
