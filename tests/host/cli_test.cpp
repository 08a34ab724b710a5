// `lumetra` end to end: renders of a generated two-second WAV checked with ffprobe, a still
// that matches an in-process render of the same snapshot pixel for pixel, and every bad
// input as a table (message, exit status, and no file left).
#include "host.h"
#include "hosttest.h"
#include "testhost.h"

#include <gtest/gtest.h>

using namespace lumetra;
using hosttest::quote;
using hosttest::run;
using hosttest::ScratchDir;
namespace fs = std::filesystem;

namespace {

const std::string kProgram = LUMETRA_PROGRAM;

// Two seconds of a stereo figure: 441 Hz left, 661.5 Hz right (a 2:3 Lissajous).
void makeInput(const fs::path& file) {
  ASSERT_TRUE(hosttest::makeSound(file, "aevalsrc=0.7*sin(2*PI*441*t)|0.7*sin(2*PI*661.5*t):s=44100:d=2"));
}

hosttest::Run lumetra(const std::string& args) { return run(quote(kProgram) + " " + args + " </dev/null"); }

std::string probe(const fs::path& file, const std::string& what) {
  return run("ffprobe -v error " + what + " -of csv=p=0 " + quote(file.string())).output;
}

TEST(Cli, RenderMp4HasEveryFrameAndTheSound) {
  ScratchDir dir;
  makeInput(dir / "in.wav");
  const auto ok = lumetra("render " + quote((dir / "in.wav").string()) + " -o " + quote((dir / "out.mp4").string()));
  ASSERT_EQ(ok.status, 0) << ok.output;
  EXPECT_NE(ok.output.find("rendered 120 frames (2.0 s of sound)"), std::string::npos) << ok.output;
  EXPECT_EQ(std::count(ok.output.begin(), ok.output.end(), '\n'), 1) << "one summary line off a terminal: " << ok.output;
  const auto out = dir / "out.mp4";
  EXPECT_EQ(probe(out, "-select_streams v:0 -count_frames -show_entries stream=codec_name,width,height,nb_read_frames"),
            "h264,1280,720,120\n");
  EXPECT_EQ(probe(out, "-select_streams a:0 -show_entries stream=codec_name,channels,sample_rate"), "aac,44100,2\n");
  const double seconds = std::stod(probe(out, "-select_streams a:0 -show_entries stream=duration"));
  EXPECT_NEAR(seconds, 2.0, 0.05);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"in.wav", "out.mp4"}));
}

TEST(Cli, StartDurationSizeAndRate) {
  ScratchDir dir;
  makeInput(dir / "in.wav");
  const auto r = lumetra("render " + quote((dir / "in.wav").string()) + " -o " + quote((dir / "part.mkv").string()) +
                         " --start 0.5 --duration 1 --size 320x240 --fps 25 --quiet");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "") << "--quiet prints nothing";
  EXPECT_EQ(probe(dir / "part.mkv", "-select_streams v:0 -count_frames -show_entries stream=width,height,nb_read_frames"),
            "320,240,25\n");
  // Up to the end from 1.5 s: 0.5 s at 25 fps is 13 frames (the last starts at 1.98 s).
  const auto tail = lumetra("render " + quote((dir / "in.wav").string()) + " -o " + quote((dir / "tail.mp4").string()) +
                            " --start 1.5 --size 320x240 --fps 25 --quiet");
  ASSERT_EQ(tail.status, 0) << tail.output;
  EXPECT_EQ(probe(dir / "tail.mp4", "-select_streams v:0 -count_frames -show_entries stream=nb_read_frames"), "13\n");
}

TEST(Cli, RawFramesOnStandardOutput) {
  ScratchDir dir;
  makeInput(dir / "in.wav");
  const auto r = run(quote(kProgram) + " render " + quote((dir / "in.wav").string()) +
                     " -o - --format rawvideo --size 64x64 --fps 10 --quiet | wc -c");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(std::stol(r.output), 20L * 64 * 64 * 4);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"in.wav"});
}

TEST(Cli, ImageSequence) {
  ScratchDir dir;
  makeInput(dir / "in.wav");
  const auto r = lumetra("render " + quote((dir / "in.wav").string()) + " -o " + quote((dir / "frames/").string()) +
                         " --size 64x64 --fps 5 --quiet");
  ASSERT_EQ(r.status, 0) << r.output;
  const auto names = ScratchDir::namesOf(dir / "frames");
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "000000.png");
  EXPECT_EQ(names.back(), "000009.png");
}

TEST(Cli, StillMatchesAnInProcessRender) {
  ScratchDir dir;
  makeInput(dir / "in.wav");
  const auto r = lumetra("render " + quote((dir / "in.wav").string()) + " -o " + quote((dir / "still.png").string()) +
                         " --at 1.25 --size 320x200");
  ASSERT_EQ(r.status, 0) << r.output;
  int w = 0, h = 0;
  const auto still = readPng(dir / "still.png", w, h);
  ASSERT_TRUE(still);
  ASSERT_EQ(w, 320);
  ASSERT_EQ(h, 200);

  // The same snapshot, rendered by the test host in this process: the window of 1024 pairs
  // ending at 1.25 s, analysed here, sent with 'vrnd' to an instance shown on a port over
  // pixels of this test's own.
  lumetra::test::TestHost host(LUMETRA_BUNDLE_DIR);
  ASSERT_EQ(host.initInstance(), noErr);
  FrameBuffer frame(320, 200);
  VisualMessageBlock show{};
  show.u.showWindowMessage.port = frame.port();
  show.u.showWindowMessage.drawRect = frame.bounds();
  ASSERT_EQ(host.send(kVisualPluginShowWindowMessage, &show), noErr);
  AudioDecoder decoder(dir / "in.wav");
  SampleHistory history(decoder);
  const std::int64_t t = 55125;  // 1.25 x 44100
  history.fill(t);
  std::vector<std::int16_t> window(2 * kAnalysisWindow);
  history.window(t, window);
  RenderData data{};
  Analyzer().analyze(window, data);
  VisualMessageBlock play{};
  host.send(kVisualPluginPlayMessage, &play);
  VisualMessageBlock render{};
  render.u.renderMessage.renderData = &data;
  render.u.renderMessage.timeStampID = 1250;
  ASSERT_EQ(host.send(kVisualPluginRenderMessage, &render), noErr);
  std::vector<std::uint32_t> mine(frame.pixels().begin(), frame.pixels().end());
  for (auto& p : mine) p &= 0xFFFFFF;  // the PNG keeps red, green and blue
  ASSERT_EQ(mine.size(), still->size());
  std::size_t differ = 0, lit = 0;
  for (std::size_t i = 0; i < mine.size(); ++i) {
    differ += mine[i] != (*still)[i];
    lit += mine[i] != 0;
  }
  EXPECT_EQ(differ, 0u);
  EXPECT_GT(lit, 100u) << "the scope is on the picture";
  VisualMessageBlock hide{};
  host.send(kVisualPluginHideWindowMessage, &hide);
}

TEST(Cli, ProgressBarOnATerminal) {
  // Under a pseudo-terminal (script(1)) the render shows a bar with percent, rate and time left.
  ScratchDir dir;
  makeInput(dir / "in.wav");
  const auto r = run("script -qfec " +
                     quote(quote(kProgram) + " render " + quote((dir / "in.wav").string()) + " -o " +
                           quote((dir / "seq/").string()) + " --size 64x64 --fps 400") +
                     " /dev/null");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("% ["), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(" fps "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(" left"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("rendered 800 frames"), std::string::npos) << r.output;
}

TEST(Cli, PluginsListsWhatWasRegistered) {
  const auto r = lumetra("plugins");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Lumetra Visualizer.bundle"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("visualizer \"LumetraPlugIn\" version 1.0.0 (final), creator 'hook'"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("options 0x28, waveform channels 2, spectrum channels 2, window 64x64 to 32767x32767"),
            std::string::npos)
      << r.output;
  const auto bad = lumetra("--plugin " + quote(std::string(LUMETRA_FAKE_BUNDLES) + "/Silent.bundle") + " plugins");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.output.find("not usable: bundle \"Silent.bundle\" registered no visualizer"), std::string::npos) << bad.output;
}

TEST(Cli, HelpAndVersion) {
  const auto help = lumetra("render --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("B, G, R, 0"), std::string::npos) << "the raw pixel format is stated";
  for (const char* command : {"--help", "demo --help", "plugins --help"}) EXPECT_EQ(lumetra(command).status, 0) << command;
  const auto version = lumetra("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "lumetra " LUMETRA_VERSION_TEXT "\n");
}

struct BadCase {
  const char* name;
  std::string args;  // after the program; {in} is the good input, {dir} the scratch folder
  int status;
  const char* says;
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

const BadCase kBad[] = {
    {"missing_input", "render {dir}/nothing.wav -o {dir}/out.mp4", 1, "no such file"},
    {"undecodable_input", "render {dir}/noise.mp3 -o {dir}/out.mp4", 1, "cannot be read as audio"},
    {"unknown_output_type", "render {in} -o {dir}/out.avi", 1, "unknown output type \".avi\""},
    {"unknown_format", "render {in} -o {dir}/out.mp4 --format yuv", 1, "unknown --format"},
    {"stdout_without_format", "render {in} -o -", 1, "needs --format rawvideo"},
    {"missing_folder", "render {in} -o {dir}/no/out.mp4", 1, "does not exist"},
    {"unwritable_place", "render {in} -o /proc/lumetra-test.mp4", 1, "cannot write"},
    {"zero_size", "render {in} -o {dir}/out.mp4 --size 0x0", 2, "cannot be drawn"},
    {"huge_size", "render {in} -o {dir}/out.mp4 --size 40000x100", 2, "cannot be drawn"},
    {"size_not_numbers", "render {in} -o {dir}/out.mp4 --size big", 2, "--size takes WIDTHxHEIGHT"},
    {"odd_size_for_h264", "render {in} -o {dir}/out.mp4 --size 321x240", 1, "even width and height"},
    {"below_the_visualizers_minimum", "render {in} -o {dir}/out.png --size 32x32", 1, "draws from 64x64"},
    {"too_much_memory", "render {in} -o {dir}/out.png --size 32000x32000", 1, "more memory than this machine has"},
    {"zero_fps", "render {in} -o {dir}/out.mp4 --fps 0", 1, "--fps 0 is out of range"},
    {"bad_start", "render {in} -o {dir}/out.mp4 --start 1:75", 2, "--start takes seconds"},
    {"start_past_end", "render {in} -o {dir}/out.mp4 --start 5", 1, "past the end"},
    {"at_past_end", "render {in} -o {dir}/out.png --at 9", 1, "past the end"},
    {"zero_duration", "render {in} -o {dir}/out.mp4 --duration 0", 1, "--duration must be more than 0"},
    {"missing_plugin", "--plugin {dir}/none.bundle render {in} -o {dir}/out.mp4", 1, "no such bundle or folder"},
    {"no_output", "render {in}", 2, "--output is required"},
    {"at_for_a_video", "render {in} -o {dir}/out.mp4 --at 1", 1, "--at picks the moment of a .png still"},
    {"output_is_the_input", "render {dir}/noise.mp3 -o {dir}/noise.mp3 --format rawvideo", 1, "is the input itself"},
    {"unknown_command", "paint {in}", 2, "paint"},
};

class BadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInput, OneLineStatusAndNoFile) {
  const auto& c = GetParam();
  ScratchDir dir;
  makeInput(dir / "in.wav");
  std::ofstream(dir / "noise.mp3") << "not a sound";
  std::string args = c.args;
  for (std::size_t at; (at = args.find("{dir}")) != std::string::npos;) args.replace(at, 5, quote(dir.path().string()));
  for (std::size_t at; (at = args.find("{in}")) != std::string::npos;) args.replace(at, 4, quote((dir / "in.wav").string()));
  const auto r = lumetra(args);
  EXPECT_EQ(r.status, c.status) << r.output;
  EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
  if (c.status == 1) {
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    EXPECT_EQ(r.output.rfind("lumetra: ", 0), 0u) << r.output;
  }
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"in.wav", "noise.mp3"})) << "nothing left behind";
  EXPECT_FALSE(fs::exists("/proc/lumetra-test.mp4"));
}

INSTANTIATE_TEST_SUITE_P(Cli, BadInput, ::testing::ValuesIn(kBad), [](const auto& i) { return std::string(i.param.name); });

}  // namespace
