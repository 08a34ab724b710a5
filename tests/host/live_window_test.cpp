// `lumetra play` in a real window: a private X server (Xvfb) on a display of its own choosing,
// keys and clicks sent with xdotool, the window grabbed with FFmpeg's x11grab, SDL's dummy
// audio driver in place of a sound card. The scope is there and moves; after "F" it stands
// still; comma shows the settings window; a click on its flash check box lets the picture
// move again; Q quits with status 0.
#include "host.h"
#include "hosttest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

using namespace lumetra;
using hosttest::quote;
using hosttest::run;

namespace {

bool have(const std::string& program) { return run("command -v " + program).status == 0; }

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A child process, ended (and reaped) with its owner unless it has been waited for.
class Child {
 public:
  // argv[0] is looked up in PATH. extraEnv: NAME=VALUE strings added to the environment.
  // Output (both streams) goes to logFile, or nowhere when it is empty.
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, const std::string& logFile) {
    pid_ = fork();
    if (pid_ == 0) {
      for (const auto& e : extraEnv) putenv(const_cast<char*>(e.c_str()));
      const int out = open(logFile.empty() ? "/dev/null" : logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
      }
      const int in = open("/dev/null", O_RDONLY);
      if (in >= 0) dup2(in, 0);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit status, or nullopt if it has not ended within the time.
  std::optional<int> wait(int ms) {
    for (int waited = 0; waited <= ms; waited += 50) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      sleepMs(50);
    }
    return std::nullopt;
  }
  bool running() {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
  }

 private:
  pid_t pid_ = -1;
};

// Xvfb picks a free display itself (-displayfd) and writes its number to a pipe.
class XServer {
 public:
  XServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    // The number ends with a newline once the server accepts connections.
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    for (int waited = 0; waited < 15000; waited += 20) {
      const ssize_t n = read(fds[0], &c, 1);
      if (n == 1) {
        if (c == '\n') break;
        number += c;
        continue;
      }
      if (n == 0) break;
      sleepMs(20);
    }
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// 30 s of two loud sines whose frequencies have no small common divisor: the figure never
// comes back to the same picture while the test looks (220 and 331 Hz would repeat every second).
void writeTone(const std::filesystem::path& file) {
  hosttest::writeWav(file, 30LL * kSampleRate, [](std::int64_t i, int channel) {
    const double t = static_cast<double>(i) / kSampleRate;
    return static_cast<std::int16_t>(24000 * std::sin(2 * M_PI * (channel ? 330.37 : 220) * t));
  });
}

struct Grab {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  bool operator==(const Grab& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
  // Pixels of the scope's green: bright green, little red or blue.
  long greenPixels() const {
    long n = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) n += rgb[i + 1] > 120 && rgb[i] < 90 && rgb[i + 2] < 90;
    return n;
  }
  // Pixels in a rectangle that are neither black nor the scope's green: something drawn over
  // the picture.
  long otherPixels(int x, int y, int w, int h) const {
    long n = 0;
    for (int r = std::max(y, 0); r < std::min(y + h, height); ++r)
      for (int c = std::max(x, 0); c < std::min(x + w, width); ++c) {
        const std::uint8_t* p = &rgb[(static_cast<std::size_t>(r) * width + c) * 3];
        const bool black = p[0] < 16 && p[1] < 16 && p[2] < 16;
        const bool green = p[1] > 120 && p[0] < 90 && p[2] < 90;
        n += !black && !green;
      }
    return n;
  }
};

class LiveWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have("Xvfb")) GTEST_SKIP() << "Xvfb is not installed (tools/setup installs it): the real-window test needs an X server";
    ASSERT_TRUE(have("xdotool")) << "xdotool is missing; run tools/setup";
    ASSERT_TRUE(have("ffmpeg")) << "ffmpeg is missing; run tools/setup";
    server_ = std::make_unique<XServer>();
    ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
  }

  std::string x(const std::string& command) const { return "DISPLAY=" + server_->display() + " " + command; }

  Grab grab(const std::string& window, int width, int height) const {
    const auto file = dir_ / "grab.raw";
    const auto r = run(x("ffmpeg -nostdin -hide_banner -loglevel error -y -f x11grab -draw_mouse 0 -window_id " + window +
                         " -i " + server_->display() + " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + quote(file.string())));
    EXPECT_EQ(r.status, 0) << r.output;
    Grab g;
    g.width = width;
    g.height = height;
    std::ifstream in(file, std::ios::binary);
    g.rgb.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(g.rgb.size(), static_cast<std::size_t>(width) * height * 3) << "the grab is not the window's size";
    return g;
  }

  std::string log() const {
    std::ifstream in(dir_ / "lumetra.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  hosttest::ScratchDir dir_;
  std::unique_ptr<XServer> server_;
};

TEST_F(LiveWindow, PlayKeysSettingsAndQuit) {
  writeTone(dir_ / "tone.wav");
  // Under the sanitizers the player is still checked for bad memory use and undefined
  // behaviour, but not for leaks: the window system's libraries (D-Bus, the GL driver, which
  // is unloaded before the end) keep blocks for the life of the process, and their stacks
  // cannot be told apart from ours. The loop's own leaks are checked by the loop tests.
  Child player({LUMETRA_PROGRAM, "play", (dir_ / "tone.wav").string(), "--size", "640x360"},
               {"DISPLAY=" + server_->display(), "SDL_AUDIODRIVER=dummy", "LUMETRA_TRACE_OVERLAY=1",
                "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"},
               (dir_ / "lumetra.log").string());
  const auto found = run(x("timeout 20 xdotool search --sync --onlyvisible --name '^Lumetra'"));
  ASSERT_EQ(found.status, 0) << "no window appeared\n" << log();
  const std::string window = found.output.substr(0, found.output.find('\n'));
  const auto key = [&](const std::string& k) {
    const auto r = run(x("xdotool key --window " + window + " " + k));
    ASSERT_EQ(r.status, 0) << r.output;
  };
  // The track's name is shown for the first two seconds; the comparisons start after it.
  sleepMs(2600);

  const Grab a = grab(window, 640, 360);
  sleepMs(400);
  const Grab b = grab(window, 640, 360);
  EXPECT_GT(a.greenPixels(), 500) << "no scope in the window";
  EXPECT_GT(b.greenPixels(), 500) << "no scope in the window";
  EXPECT_FALSE(a == b) << "the scope does not move\n" << log();

  key("F");
  sleepMs(400);
  const Grab c = grab(window, 640, 360);
  sleepMs(1000);
  const Grab d = grab(window, 640, 360);
  EXPECT_GT(c.greenPixels(), 500);
  EXPECT_TRUE(c == d) << "after F the picture still moves";

  key("comma");
  sleepMs(500);
  const Grab e = grab(window, 640, 360);
  // Where the overlay drew the flash check box, from its own trace.
  const std::string text = log();
  const auto line = text.find("control 'cbox' 4 \"");
  ASSERT_NE(line, std::string::npos) << "the settings window was not drawn\n" << text;
  const auto at = text.find("\" at ", line);
  int bx = 0, by = 0, bw = 0, bh = 0;
  ASSERT_TRUE(at != std::string::npos && std::sscanf(text.c_str() + at, "\" at %d %d size %d %d", &bx, &by, &bw, &bh) == 4)
      << text;
  EXPECT_GT(e.otherPixels(bx, by, bw, bh), d.otherPixels(bx, by, bw, bh) + 100) << "nothing drawn where the flash check box is";

  // The box itself is at the start of the control's frame.
  const auto click = run(x("xdotool mousemove --window " + window + " " + std::to_string(bx + bh / 2) + " " +
                           std::to_string(by + bh / 2) + " click 1"));
  ASSERT_EQ(click.status, 0) << click.output;
  sleepMs(500);
  const Grab f = grab(window, 640, 360);
  sleepMs(400);
  const Grab g = grab(window, 640, 360);
  EXPECT_FALSE(f == g) << "the click on the flash check box did not release the picture";

  // xdotool may complain that the window went before the key was let go: that is the quit.
  run(x("xdotool key --window " + window + " q"));
  const auto status = player.wait(15000);
  ASSERT_TRUE(status.has_value()) << "Q did not quit\n" << log();
  EXPECT_EQ(*status, 0) << log();
}

// A window made larger is filled by a picture of its new size, and --stats says so, naming
// what draws the window: an X server without a GPU gets SDL's software renderer, not a GL
// that would draw on the processor.
TEST_F(LiveWindow, ResizedWindowIsFilledAndStatsNameTheDrawer) {
  Child player({LUMETRA_PROGRAM, "demo", "--play", "--stats", "--size", "640x360"},
               {"DISPLAY=" + server_->display(), "SDL_AUDIODRIVER=dummy", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"},
               (dir_ / "lumetra.log").string());
  const auto found = run(x("timeout 20 xdotool search --sync --onlyvisible --name '^Lumetra'"));
  ASSERT_EQ(found.status, 0) << "no window appeared\n" << log();
  const std::string window = found.output.substr(0, found.output.find('\n'));
  sleepMs(500);
  const auto resize = run(x("xdotool windowsize --sync " + window + " 800 450"));
  ASSERT_EQ(resize.status, 0) << resize.output;
  sleepMs(1800);
  const Grab big = grab(window, 800, 450);
  // The scope reaches into the part of the window that the first size did not have.
  int outside = 0;
  for (int y = 0; y < big.height; ++y)
    for (int x = 0; x < big.width; ++x) {
      const auto* p = &big.rgb[(static_cast<std::size_t>(y) * big.width + x) * 3];
      outside += (x >= 640 || y >= 360) && p[1] > 100 && p[0] < 100 && p[2] < 100;
    }
  EXPECT_GT(outside, 20) << "the picture does not fill the resized window\n" << log();
  const std::string text = log();
  EXPECT_NE(text.find("lumetra: 800x450  "), std::string::npos) << "no frame time at the new size\n" << text;
  EXPECT_NE(text.find("(software)"), std::string::npos) << "the window is not drawn by SDL's software renderer\n" << text;
  run(x("xdotool key --window " + window + " q"));
  const auto status = player.wait(15000);
  ASSERT_TRUE(status.has_value()) << "Q did not quit\n" << log();
  EXPECT_EQ(*status, 0) << log();
}

// What goes wrong before a window can be shown: one line saying what and what to do, and
// the exit status of the command line.
TEST(LiveCommands, ErrorsAreOneLine) {
  struct Row {
    const char* name;
    std::string command;
    int status;
    const char* says;
  };
  const std::string program = quote(LUMETRA_PROGRAM);
  const Row rows[] = {
      {"missing file", "SDL_AUDIODRIVER=dummy " + program + " play /nonexistent/song.flac", 1, "no such file"},
      {"empty window size", program + " play --size 0x0", 2, "--size"},
      {"capture device that is not there", "SDL_AUDIODRIVER=dummy " + program + " capture --device 'no such device'", 1,
       "--list-devices"},
      {"no display named", "env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy " + program + " play",
       1, "window"},
      {"no display at all", "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy " + program + " play",
       1, "no display"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const auto out = run(r.command);
    EXPECT_EQ(out.status, r.status) << out.output;
    EXPECT_NE(out.output.find(r.says), std::string::npos) << out.output;
    // Libraries probing for a display may add lines of their own; lumetra says one thing.
    std::size_t ours = 0;
    for (std::size_t at = out.output.find("lumetra"); at != std::string::npos; at = out.output.find("\nlumetra", at + 1)) ++ours;
    EXPECT_EQ(ours, 1u) << out.output;
  }
}

}  // namespace
