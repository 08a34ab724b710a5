// The encoder: output kinds from -o and --format, video with sound that ffprobe accepts,
// PNG stills that read back exactly, sequences, and nothing left behind when a sink is given
// up before it finishes.
#include "host.h"
#include "hosttest.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace lumetra;
using hosttest::ScratchDir;

namespace {

struct ParseCase {
  const char* name;
  std::string output, format;
  std::optional<OutputKind> kind;  // nullopt: refused
  const char* says;                // for a refusal, part of the message
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseOutput : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseOutput, KindOrRefusal) {
  const auto& c = GetParam();
  try {
    const auto target = parseOutput(c.output, c.format);
    ASSERT_TRUE(c.kind.has_value()) << "accepted " << c.output;
    EXPECT_EQ(target.kind, *c.kind);
  } catch (const HostError& e) {
    ASSERT_FALSE(c.kind.has_value()) << e.what();
    EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
  }
}

const ParseCase kParse[] = {
    {"mp4", "out.mp4", "", OutputKind::Video, ""},
    {"mkv_upper", "OUT.MKV", "", OutputKind::Video, ""},
    {"png", "still.png", "", OutputKind::Still, ""},
    {"pattern", "frames/%06d.png", "", OutputKind::Sequence, ""},
    {"folder", "frames/", "", OutputKind::Sequence, ""},
    {"stdout_raw", "-", "rawvideo", OutputKind::Raw, ""},
    {"file_raw", "frames.bgr0", "rawvideo", OutputKind::Raw, ""},
    {"stdout_no_format", "-", "", std::nullopt, "needs --format rawvideo"},
    {"unknown_ext", "out.avi", "", std::nullopt, "unknown output type \".avi\""},
    {"no_ext", "out", "", std::nullopt, "unknown output type (no extension)"},
    {"unknown_format", "out.mp4", "yuv", std::nullopt, "unknown --format"},
    {"two_conversions", "f%d_%d.png", "", std::nullopt, "must hold one %d"},
    {"string_conversion", "f%s.png", "", std::nullopt, "must hold one %d"},
    {"pattern_not_png", "f%04d.jpg", "", std::nullopt, "end in .png"},
    {"empty", "", "", std::nullopt, "no output given"},
};

INSTANTIATE_TEST_SUITE_P(Encoder, ParseOutput, ::testing::ValuesIn(kParse), [](const auto& i) { return std::string(i.param.name); });

// A frame with a gradient and a marker, different for each n.
std::vector<std::uint32_t> testFrame(int w, int h, int n) {
  std::vector<std::uint32_t> f(std::size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      f[std::size_t(y) * w + x] = (std::uint32_t((x * 255) / w) << 16) | (std::uint32_t((y * 255) / h) << 8) | std::uint32_t(n * 40 % 256);
  return f;
}

std::string probe(const std::filesystem::path& file, const std::string& what) {
  return hosttest::run("ffprobe -v error " + what + " -of csv=p=0 " + hosttest::quote(file.string())).output;
}

TEST(Encoder, VideoWithSound) {
  ScratchDir dir;
  for (const char* name : {"out.mp4", "out.mkv"}) {
    const auto file = dir / name;
    const VideoFormat format{96, 64, 30};
    auto sink = openSink(parseOutput(file.string(), ""), format);
    ASSERT_TRUE(sink->wantsAudio());
    std::vector<std::int16_t> second(2 * kSampleRate);
    for (std::size_t i = 0; i < second.size(); ++i) second[i] = static_cast<std::int16_t>((i % 200) * 100 - 10000);
    for (int n = 0; n < 30; ++n) {
      sink->writeFrame(testFrame(96, 64, n));
      sink->writeAudio(std::span(second).subspan(std::size_t(n) * 2 * 1470, 2 * 1470));
    }
    EXPECT_FALSE(std::filesystem::exists(file)) << "only the temporary exists until finish";
    sink->finish();
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(probe(file, "-select_streams v:0 -count_frames -show_entries stream=codec_name,width,height,pix_fmt,nb_read_frames"),
              "h264,96,64,yuv420p,30\n");
    EXPECT_EQ(probe(file, "-select_streams a:0 -show_entries stream=codec_name,sample_rate,channels"), "aac,44100,2\n");
  }
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"out.mkv", "out.mp4"})) << "no temporaries left";
}

// The colours survive the trip through YUV: a decoder that follows the file's colour tags
// gives back blocks of black, the scope's green, red and white within a few steps.
TEST(Encoder, VideoKeepsItsColours) {
  ScratchDir dir;
  const auto file = dir / "colours.mp4";
  const int w = 96, h = 64;
  const std::uint32_t colours[4] = {0x000000, 0x00FF00, 0xFF0000, 0xFFFFFF};
  std::vector<std::uint32_t> frame(std::size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) frame[std::size_t(y) * w + x] = colours[(y >= h / 2) * 2 + (x >= w / 2)];
  {
    auto sink = openSink(parseOutput(file.string(), ""), VideoFormat{w, h, 30});
    for (int n = 0; n < 10; ++n) sink->writeFrame(frame);
    sink->finish();
  }
  const auto decoded = dir / "decoded.rgb";
  const auto r = hosttest::run("ffmpeg -nostdin -v error -i " + hosttest::quote(file.string()) +
                               " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + hosttest::quote(decoded.string()));
  ASSERT_EQ(r.status, 0) << r.output;
  std::ifstream in(decoded, std::ios::binary);
  const std::vector<std::uint8_t> rgb((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(rgb.size(), std::size_t(w) * h * 3);
  for (int q = 0; q < 4; ++q) {
    const int x = (q % 2) * (w / 2) + w / 4, y = (q / 2) * (h / 2) + h / 4;
    const std::uint8_t* got = &rgb[(std::size_t(y) * w + x) * 3];
    for (int c = 0; c < 3; ++c) {
      const int want = static_cast<int>((colours[q] >> (16 - 8 * c)) & 0xFF);
      EXPECT_NEAR(got[c], want, 6) << "block " << q << " channel " << c;
    }
  }
}

TEST(Encoder, GivenUpLeavesNothing) {
  ScratchDir dir;
  const VideoFormat format{64, 64, 10};
  for (const std::string output : {"a.mp4", "b.png", "seq/", "c%03d.png", "d.raw"}) {
    {
      auto sink = openSink(parseOutput((dir.path() / output).string(), output == "d.raw" ? "rawvideo" : ""), format);
      for (int n = 0; n < 3; ++n) sink->writeFrame(testFrame(64, 64, n));
      // A still is kept in memory until finish; everything else is on disk already.
      if (output != "b.png") {
        ASSERT_FALSE(dir.names().empty()) << output << ": something is being written";
      }
    }
    EXPECT_TRUE(dir.names().empty()) << output << " left " << (dir.names().empty() ? "" : dir.names()[0]);
  }
}

TEST(Encoder, StillReadsBackExactly) {
  ScratchDir dir;
  const auto file = dir / "still.png";
  const auto frame = testFrame(77, 33, 3);
  auto sink = openSink(parseOutput(file.string(), ""), VideoFormat{77, 33, 60});
  sink->writeFrame(frame);
  sink->finish();
  int w = 0, h = 0;
  const auto back = readPng(file, w, h);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(w, 77);
  EXPECT_EQ(h, 33);
  EXPECT_EQ(*back, frame);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"still.png"});
}

TEST(Encoder, SequenceNumbersFromZero) {
  ScratchDir dir;
  auto sink = openSink(parseOutput((dir.path() / "seq/").string(), ""), VideoFormat{64, 48, 60});
  for (int n = 0; n < 3; ++n) sink->writeFrame(testFrame(64, 48, n));
  sink->finish();
  sink.reset();
  ASSERT_EQ(std::vector<std::string>({"000000.png", "000001.png", "000002.png"}), ScratchDir::namesOf(dir / "seq"));
  int w = 0, h = 0;
  EXPECT_EQ(*readPng(dir / "seq" / "000002.png", w, h), testFrame(64, 48, 2));
}

TEST(Encoder, RawIsTheWordsAsTheyAre) {
  ScratchDir dir;
  const auto file = dir / "frames.raw";
  auto sink = openSink(parseOutput(file.string(), "rawvideo"), VideoFormat{64, 2, 60});
  const auto a = testFrame(64, 2, 1), b = testFrame(64, 2, 2);
  sink->writeFrame(a);
  sink->writeFrame(b);
  sink->finish();
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint32_t> back(a.size() * 2);
  in.read(reinterpret_cast<char*>(back.data()), std::streamsize(back.size() * 4));
  ASSERT_EQ(in.gcount(), std::streamsize(back.size() * 4));
  EXPECT_EQ(in.peek(), EOF);
  EXPECT_TRUE(std::equal(a.begin(), a.end(), back.begin()));
  EXPECT_TRUE(std::equal(b.begin(), b.end(), back.begin() + long(a.size())));
  // The byte order the help promises: B, G, R, then the unused byte.
  const auto* bytes = reinterpret_cast<const unsigned char*>(back.data());
  EXPECT_EQ(bytes[0], a[0] & 0xFF);
  EXPECT_EQ(bytes[2], (a[0] >> 16) & 0xFF);
}

TEST(Encoder, UnwritablePlaces) {
  ScratchDir dir;
  struct Row {
    const char* name;
    std::string output;
    const char* says;
  } rows[] = {
      {"missing folder", (dir / "no/such/out.mp4").string(), "does not exist"},
      {"missing folder png", (dir / "no/out.png").string(), "does not exist"},
      {"missing parent of new folder", (dir / "no/seq/").string(), "cannot make the folder"},
      {"proc", "/proc/lumetra-out.mp4", "cannot write"},
  };
  for (const auto& r : rows) {
    try {
      openSink(parseOutput(r.output, ""), VideoFormat{64, 64, 60});
      ADD_FAILURE() << r.name << ": opened";
    } catch (const HostError& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << r.name << ": " << e.what();
    }
  }
  EXPECT_TRUE(dir.names().empty());
}

}  // namespace
