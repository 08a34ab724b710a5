// The player's input side: any bytes as an audio file, through the host's decoder
// (AudioDecoder: FFmpeg's demuxers and decoders, then the resampler to 44.1 kHz stereo), the
// sample history and the analysis that makes the snapshots, as a render would use them.
//
// Each input is written to a scratch file and opened as the player opens a file. What must
// hold: the only exception that leaves the decoder is HostError, with one line of text that
// names the file; every snapshot says two channels of each kind; its waveform is the last 512
// samples of its window, byte for byte as the documented mapping gives them; and nothing is
// left over (ASan's leak check runs after every input). The seeds are tiny files of the common
// kinds (WAV of several sample formats and channel counts, FLAC, MP3, Ogg Vorbis, Opus, M4A)
// and truncated ones; libFuzzer truncates and corrupts them further.
//
// FFmpeg itself is the system's library, not built with coverage, so the fuzzer learns only
// from the host's code; what this target checks is that no file, however broken, gets past the
// host as anything but a clear error.
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include <filesystem>
#include <fstream>
#include <vector>

#include "finding.h"
#include "host.h"
#include "scratch.h"

namespace {

using lumetra::fuzz::Finding;

// At most this much decoded sound an input (a few seconds: a corrupted header can claim a
// sample rate that makes a small file last for hours), and a snapshot every frame at 60 frames
// a second for the first part of it.
constexpr std::int64_t kMaxPairs = 8 * lumetra::kSampleRate;
constexpr std::int64_t kFramePairs = lumetra::kSampleRate / 60;
constexpr std::int64_t kAnalysedPairs = 2 * lumetra::kSampleRate;

const std::filesystem::path& InputFile() {
  static const std::filesystem::path file = lumetra::fuzz::ScratchFolder("lumetra-fuzz-audio") / "input";
  return file;
}

void CheckSnapshot(const RenderData& data, const std::vector<std::int16_t>& window) {
  if (data.numWaveformChannels != 2 || data.numSpectrumChannels != 2)
    Finding("a snapshot does not say two channels of each kind");
  for (int channel = 0; channel < 2; ++channel)
    for (int k = 0; k < kVisualNumWaveformEntries; ++k) {
      const std::int16_t sample =
          window[static_cast<size_t>(2 * (lumetra::kAnalysisWindow - kVisualNumWaveformEntries + k) + channel)];
      if (data.waveformData[channel][k] != lumetra::Analyzer::waveformByte(sample))
        Finding("a waveform byte is not its sample's");
    }
}

void Decode(const std::filesystem::path& file) {
  lumetra::AudioDecoder decoder(file);
  (void)decoder.describe();
  if (const auto length = decoder.length(); length && *length < 0) Finding("the decoder gave a negative length");
  lumetra::SampleHistory history(decoder);
  lumetra::Analyzer analyzer;
  std::vector<std::int16_t> window(2 * lumetra::kAnalysisWindow);
  RenderData data{};
  for (std::int64_t position = 0; position <= kMaxPairs; position += kFramePairs) {
    history.fill(position);
    if (position <= kAnalysedPairs) {
      history.window(position, window);
      analyzer.analyze(window, data);
      CheckSnapshot(data, window);
    }
    history.dropBefore(position - lumetra::kAnalysisWindow);
    if (history.ended() && position > history.available()) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  av_log_set_level(AV_LOG_QUIET);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path& file = InputFile();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) Finding("cannot write the scratch file");
  }
  try {
    Decode(file);
  } catch (const lumetra::HostError& error) {
    const std::string message = error.what();
    if (message.empty() || message.find('\n') != std::string::npos)
      Finding("a decoding error is not one line: \"" + message + "\"");
    if (message.find(file.string()) == std::string::npos) Finding("a decoding error does not name the file: " + message);
  }
  return 0;
}
