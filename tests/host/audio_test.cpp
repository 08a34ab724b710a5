// Audio in: the common formats decode to 44.1 kHz stereo; mono is duplicated, 5.1 is folded
// to two channels side by side; bad files get one clear message; the sample history gives
// the windows and ranges the render loop asks for.
#include "host.h"
#include "hosttest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using namespace lumetra;
using hosttest::ScratchDir;

namespace {

std::vector<std::int16_t> decodeAll(const std::filesystem::path& file) {
  AudioDecoder decoder(file);
  std::vector<std::int16_t> all;
  std::vector<std::int16_t> chunk(2 * 1000);
  while (const auto n = decoder.read(chunk)) all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<long>(2 * n));
  return all;
}

double rms(const std::vector<std::int16_t>& s, int channel) {
  double sum = 0;
  for (std::size_t i = channel; i < s.size(); i += 2) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(s.size() / 2)) / 32768.0;
}

struct FormatCase {
  const char* name;
  const char* file;
  const char* args;
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

const FormatCase kFormats[] = {
    {"wav_48k", "a.wav", "-ar 48000"},
    {"flac", "a.flac", ""},
    {"mp3", "a.mp3", "-c:a libmp3lame -b:a 192k"},
    {"ogg_vorbis", "a.ogg", "-c:a libvorbis"},
    {"opus", "a.opus", "-c:a libopus"},
    {"m4a_aac", "a.m4a", "-c:a aac"},
    {"wav_8k_u8", "b.wav", "-ar 8000 -c:a pcm_u8"},
};

class Formats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formats, DecodeTo44100Stereo) {
  // One second of 441 Hz at half scale on the left, 882 Hz at a quarter on the right.
  ScratchDir dir;
  const auto file = dir / GetParam().file;
  ASSERT_TRUE(hosttest::makeSound(file, "aevalsrc=0.5*sin(2*PI*441*t)|0.25*sin(2*PI*882*t):s=44100:d=1", GetParam().args));
  const auto s = decodeAll(file);
  const double seconds = double(s.size() / 2) / kSampleRate;
  EXPECT_NEAR(seconds, 1.0, 0.06) << "lossy codecs pad a little";
  // A sine's rms is amplitude / sqrt 2.
  EXPECT_NEAR(rms(s, 0), 0.5 / std::sqrt(2.0), 0.03);
  EXPECT_NEAR(rms(s, 1), 0.25 / std::sqrt(2.0), 0.03);
  AudioDecoder decoder(file);
  ASSERT_TRUE(decoder.length().has_value());
  EXPECT_NEAR(double(*decoder.length()) / kSampleRate, 1.0, 0.06);
}

INSTANTIATE_TEST_SUITE_P(Audio, Formats, ::testing::ValuesIn(kFormats), [](const auto& i) { return std::string(i.param.name); });

// A four-channel tracker module made here: one looped square-wave sample played on all four
// channels from the first row at speed 1, so the 64 rows last about 1.3 seconds.
void writeModule(const std::filesystem::path& file) {
  std::vector<std::uint8_t> mod(20 + 31 * 30 + 2 + 128 + 4, 0);
  std::uint8_t* sample = &mod[20];
  sample[22] = 0, sample[23] = 32;  // 32 words
  sample[25] = 64;                  // volume
  sample[28] = 0, sample[29] = 32;  // loop the whole sample
  for (int i = 1; i < 31; ++i) mod[20 + i * 30 + 29] = 1;  // empty samples loop one word, as trackers write them
  mod[950] = 1;    // one position
  mod[951] = 127;
  mod[1080] = 'M', mod[1081] = '.', mod[1082] = 'K', mod[1083] = '.';
  std::vector<std::uint8_t> pattern(1024, 0);
  for (int channel = 0; channel < 4; ++channel) {
    std::uint8_t* cell = &pattern[channel * 4];
    cell[0] = 428 >> 8;  // period 428 (C), sample 1
    cell[1] = 428 & 0xFF;
    cell[2] = 0x10 | (channel == 0 ? 0xF : 0);
    cell[3] = channel == 0 ? 1 : 0;  // Fxx: speed 1
  }
  mod.insert(mod.end(), pattern.begin(), pattern.end());
  for (int i = 0; i < 64; ++i) mod.push_back(i < 32 ? 0x60 : 0xA0);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(mod.data()), std::streamsize(mod.size()));
}

TEST(Audio, TrackerModule) {
  ScratchDir dir;
  writeModule(dir / "tune.mod");
  const auto s = decodeAll(dir / "tune.mod");
  const double seconds = double(s.size() / 2) / kSampleRate;
  EXPECT_GT(seconds, 1.0);
  EXPECT_LT(seconds, 2.0);
  EXPECT_GT(rms(s, 0), 0.05);
  EXPECT_GT(rms(s, 1), 0.05);
}

TEST(Audio, MonoIsDuplicated) {
  ScratchDir dir;
  const auto file = dir / "mono.wav";
  ASSERT_TRUE(hosttest::makeSound(file, "sine=frequency=1000:sample_rate=22050:duration=0.5", "-ac 1"));
  const auto s = decodeAll(file);
  ASSERT_NEAR(double(s.size() / 2), 0.5 * kSampleRate, 2);
  for (std::size_t i = 0; i < s.size(); i += 2) ASSERT_EQ(s[i], s[i + 1]) << i;
  // Duplicated at its own level, not at -3 dB: sine's default amplitude is 1/8.
  EXPECT_NEAR(rms(s, 0), 0.125 / std::sqrt(2.0), 0.01);
}

struct SurroundCase {
  const char* name;
  const char* channels;  // aevalsrc expressions for FL|FR|FC|LFE|BL|BR
  bool left, right;      // where the sound must come out
};
void PrintTo(const SurroundCase& c, std::ostream* os) { *os << c.name; }

const SurroundCase kSurround[] = {
    {"front_left", "0.5*sin(2*PI*440*t)|0|0|0|0|0", true, false},
    {"front_right", "0|0.5*sin(2*PI*440*t)|0|0|0|0", false, true},
    {"centre", "0|0|0.5*sin(2*PI*440*t)|0|0|0", true, true},
    {"back_left", "0|0|0|0|0.5*sin(2*PI*440*t)|0", true, false},
    {"back_right", "0|0|0|0|0|0.5*sin(2*PI*440*t)", false, true},
};

class Surround : public ::testing::TestWithParam<SurroundCase> {};

TEST_P(Surround, DownmixKeepsSides) {
  ScratchDir dir;
  const auto file = dir / "surround.wav";
  ASSERT_TRUE(hosttest::makeSound(file, std::string("aevalsrc=") + GetParam().channels + ":c=5.1:s=48000:d=0.5"));
  const auto s = decodeAll(file);
  ASSERT_NEAR(double(s.size() / 2), 0.5 * kSampleRate, 2);
  const double l = rms(s, 0), r = rms(s, 1);
  EXPECT_EQ(l > 0.05, GetParam().left) << "left rms " << l;
  EXPECT_EQ(r > 0.05, GetParam().right) << "right rms " << r;
  if (!GetParam().left) {
    EXPECT_LT(l, 0.001);
  }
  if (!GetParam().right) {
    EXPECT_LT(r, 0.001);
  }
  if (GetParam().left && GetParam().right) {
    EXPECT_NEAR(l, r, 0.001);
  }
}

INSTANTIATE_TEST_SUITE_P(Audio, Surround, ::testing::ValuesIn(kSurround), [](const auto& i) { return std::string(i.param.name); });

TEST(Audio, BadFilesSayWhat) {
  ScratchDir dir;
  std::ofstream(dir / "noise.mp3") << "this is not a sound file at all, only words";
  std::filesystem::create_directory(dir / "folder.wav");
  ASSERT_TRUE(hosttest::makeSound(dir / "silent.mkv", "color=c=black:s=64x64:d=1", "-c:v ffv1"));
  struct Row {
    const char* name;
    std::string file;
    const char* says;
  } rows[] = {
      {"missing", (dir / "nothing.wav").string(), "no such file"},
      {"not sound", (dir / "noise.mp3").string(), "cannot be read as audio"},
      {"a folder", (dir / "folder.wav").string(), "is a folder"},
      {"video only", (dir / "silent.mkv").string(), "has no sound"},
  };
  for (const auto& r : rows) {
    try {
      AudioDecoder decoder(r.file);
      ADD_FAILURE() << r.name << ": opened";
    } catch (const HostError& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << r.name << ": " << e.what();
    }
  }
}

// A source that counts: pair i is (i, -i) modulo int16.
class Counting final : public SampleSource {
 public:
  explicit Counting(std::int64_t length) : length_(length) {}
  std::size_t read(std::span<std::int16_t> out) override {
    std::size_t n = std::min<std::size_t>(out.size() / 2, std::size_t(length_ - at_));
    n = std::min<std::size_t>(n, 777);  // odd pieces, as decoders give
    for (std::size_t i = 0; i < n; ++i, ++at_) {
      out[2 * i] = static_cast<std::int16_t>(at_ % 30000);
      out[2 * i + 1] = static_cast<std::int16_t>(-(at_ % 30000));
    }
    return n;
  }
  std::optional<std::int64_t> length() const override { return length_; }
  std::string describe() const override { return "counting"; }

 private:
  std::int64_t length_, at_ = 0;
};

TEST(SampleHistory, WindowsRangesAndDropping) {
  Counting source(500000);
  SampleHistory history(source);
  std::vector<std::int16_t> w(2 * 1024);
  history.fill(10);
  history.window(10, w);
  // Before position 0 is silence; pairs 0..9 end the window.
  EXPECT_EQ(w[2 * 1013], 0);
  EXPECT_EQ(w[2 * 1014], 0);
  EXPECT_EQ(w[2 * 1023], 9);
  EXPECT_EQ(w[2 * 1023 + 1], -9);
  history.fill(300000);
  EXPECT_GE(history.available(), 300000);
  history.dropBefore(300000 - 1024);
  history.window(300000, w);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(w[2 * i], (300000 - 1024 + i) % 30000) << i;
  const auto r = history.range(299500, 299503);
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0], 299500 % 30000);
  EXPECT_EQ(r[4], 299502 % 30000);
  history.fill(1 << 30);
  EXPECT_TRUE(history.ended());
  EXPECT_EQ(history.available(), 500000);
  history.window(500010, w);
  EXPECT_EQ(w[2 * 1023], 0) << "past the end is silence";
  EXPECT_EQ(w[2 * 1013], 499999 % 30000);
  history.dropBefore(399000);
  history.window(400000, w);
  EXPECT_EQ(w[2 * 1023], 399999 % 30000);
  EXPECT_EQ(w[0], 0) << "what was dropped reads as silence";
}

TEST(SampleHistory, SkippingKeepsOnlyTheWindow) {
  Counting source(10000000);
  SampleHistory history(source);
  history.skipTo(9000000, 1024);
  EXPECT_GE(history.available(), 9000000);
  EXPECT_LT(history.available(), 9000000 + (1 << 19)) << "reads no further than it must";
  EXPECT_TRUE(history.range(0, 8000000).empty()) << "what lies far behind is let go";
  std::vector<std::int16_t> w(2 * 1024);
  history.window(9000000, w);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(w[2 * i], (9000000 - 1024 + i) % 30000) << i;
}

TEST(DemoSignal, IsStereoLissajous) {
  DemoSignal demo;
  EXPECT_GE(*demo.length(), 20 * kSampleRate);
  EXPECT_LE(*demo.length(), 30 * kSampleRate);
  std::vector<std::int16_t> all(2 * std::size_t(*demo.length()));
  std::size_t got = 0;
  while (const auto n = demo.read(std::span(all).subspan(2 * got))) got += n;
  EXPECT_EQ(got, std::size_t(*demo.length()));
  // The two channels differ (a figure, not a line) and neither clips.
  std::int64_t differ = 0;
  int peak = 0;
  for (std::size_t i = 0; i < all.size(); i += 2) {
    differ += all[i] != all[i + 1];
    peak = std::max({peak, std::abs(int(all[i])), std::abs(int(all[i + 1]))});
  }
  EXPECT_GT(differ, std::int64_t(got) / 2);
  EXPECT_LT(peak, 32767);
  EXPECT_GT(peak, 20000);
  EXPECT_EQ(all[2 * 1000], DemoSignal::sampleAt(1000, 0));
}

}  // namespace
