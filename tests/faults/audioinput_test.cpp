// Damaged audio files through the player's decoder, found by fuzzing and kept as regression
// tests: a header may claim any sample rate, and a claim no sound file makes must end in one
// clear error at once, not in a resampler that works for half a minute on a gigabyte; and a
// stream may change its channels from one frame to the next.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host.h"
#include "hosttest.h"

namespace {

// A mono 8-bit WAV file of `samples` samples that says it plays `rate` samples a second.
void WriteWav(const std::filesystem::path& file, std::uint32_t rate, std::uint32_t samples) {
  std::vector<std::uint8_t> bytes(44 + samples, 0x80);
  auto put32 = [&](size_t at, std::uint32_t v) { std::memcpy(&bytes[at], &v, 4); };
  auto put16 = [&](size_t at, std::uint16_t v) { std::memcpy(&bytes[at], &v, 2); };
  std::memcpy(&bytes[0], "RIFF", 4);
  put32(4, 36 + samples);
  std::memcpy(&bytes[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);  // PCM
  put16(22, 1);  // one channel
  put32(24, rate);
  put32(28, rate);  // bytes a second
  put16(32, 1);
  put16(34, 8);
  std::memcpy(&bytes[36], "data", 4);
  put32(40, samples);
  for (std::uint32_t i = 0; i < samples; ++i) bytes[44 + i] = static_cast<std::uint8_t>(0x80 + (i % 64) - 32);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

struct Row {
  const char* name;
  std::uint32_t rate;
  bool decodes;
};

const Row kRows[] = {
    {"520 MHz, from a damaged header the fuzzer made", 520110144, false},
    {"just above the fastest sound files", 768001, false},
    {"the fastest sound files", 768000, true},
    {"the usual", 44100, true},
    {"the slowest sound files", 1000, true},
    {"just below the slowest", 999, false},
    {"1 Hz, from a damaged header the fuzzer made", 1, false},
};

class DamagedRateTest : public ::testing::TestWithParam<Row> {};

TEST_P(DamagedRateTest, ClaimsNoSoundFileMakesAreOneClearError) {
  const Row& row = GetParam();
  hosttest::ScratchDir dir;
  const auto file = dir / "sound.wav";
  WriteWav(file, row.rate, 1200);
  if (!row.decodes) {
    try {
      lumetra::AudioDecoder decoder(file);
      FAIL() << "a file of " << row.rate << " Hz was opened";
    } catch (const lumetra::HostError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(file.string()), std::string::npos) << message;
      EXPECT_NE(message.find("samples a second"), std::string::npos) << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    return;
  }
  lumetra::AudioDecoder decoder(file);
  std::vector<std::int16_t> pairs(2 * 4096);
  std::int64_t total = 0;
  while (const std::size_t got = decoder.read(pairs)) total += static_cast<std::int64_t>(got);
  // 1200 samples at the file's rate, brought to 44.1 kHz (the resampler may round at the ends).
  const double expected = 1200.0 * lumetra::kSampleRate / row.rate;
  EXPECT_NEAR(static_cast<double>(total), expected, expected * 0.02 + 64);
}

INSTANTIATE_TEST_SUITE_P(Rates, DamagedRateTest, ::testing::ValuesIn(kRows), [](const auto& info) {
  return "rate_" + std::to_string(info.param.rate);
});

// Stereo frames, then mono ones, in one MP3 stream (two files end to end, as a damaged or
// concatenated file has them). The mono frames once reached a resampler made for two channels,
// which read a second plane that they do not have and crashed; now both halves are heard.
TEST(ChangingStream, ChannelsThatChangeMidStreamAreConverted) {
  hosttest::ScratchDir dir;
  ASSERT_TRUE(hosttest::makeSound(dir / "stereo.mp3", "sine=frequency=440:sample_rate=44100:duration=0.5",
                                  "-ac 2 -c:a libmp3lame -b:a 64k"));
  ASSERT_TRUE(hosttest::makeSound(dir / "mono.mp3", "sine=frequency=660:sample_rate=44100:duration=0.5",
                                  "-ac 1 -c:a libmp3lame -b:a 64k"));
  const auto file = dir / "both.mp3";
  {
    std::ofstream out(file, std::ios::binary);
    for (const char* part : {"stereo.mp3", "mono.mp3"}) out << std::ifstream(dir / part, std::ios::binary).rdbuf();
  }
  lumetra::AudioDecoder decoder(file);
  std::vector<std::int16_t> pairs(2 * 4096);
  std::int64_t total = 0, loudLeft = 0;
  while (const std::size_t got = decoder.read(pairs)) {
    for (std::size_t i = 0; i < got; ++i) loudLeft += std::abs(pairs[2 * i]) > 1000;
    total += static_cast<std::int64_t>(got);
  }
  // About a second of sound, and the sines are heard in both halves (not only the first).
  EXPECT_GT(total, 40000);
  EXPECT_GT(loudLeft, 30000);
}

}  // namespace
