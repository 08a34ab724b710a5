// lumetra: the command line. Parses the arguments, runs one command, and turns a HostError
// into one line on stderr and exit status 1 (usage errors exit with 2).
#include "host.h"

extern "C" {
#include <libavutil/log.h>
}

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>

namespace fs = std::filesystem;
using namespace lumetra;

namespace {

#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define LUMETRA_RAW_BYTES "which on this little-endian build is the bytes B, G, R, 0 (FFmpeg's -pix_fmt bgr0)"
#else
#define LUMETRA_RAW_BYTES "which on this big-endian build is the bytes 0, R, G, B (FFmpeg's -pix_fmt 0rgb)"
#endif
constexpr const char* kRawNote =
    "Raw frames (-o - --format rawvideo) are the window port's pixels as they are: 4 bytes a pixel, "
    "the native 32-bit word 0x00RRGGBB, " LUMETRA_RAW_BYTES ", rows top to bottom with no padding, "
    "one frame after another, WIDTH x HEIGHT x 4 bytes each.";

// Checks --size and parses it into the job; CLI11 reports the message.
std::string sizeInto(const std::string& text, VideoFormat& video) {
  const auto size = parseSize(text);
  if (!size) return "--size takes WIDTHxHEIGHT in pixels, like 1280x720";
  if (size->first < 1 || size->second < 1 || size->first > 32767 || size->second > 32767)
    return "--size " + text + " cannot be drawn; give a width and height from 1 to 32767, like 1280x720";
  video.width = static_cast<int>(size->first);
  video.height = static_cast<int>(size->second);
  return {};
}

std::string timeInto(const std::string& text, std::optional<double>& into, const char* name) {
  const auto t = parseTime(text);
  if (!t) return std::string(name) + " takes seconds (90, 12.5) or minutes:seconds (1:30, 1:02:03.5), not \"" + text + "\"";
  into = *t;
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  // FFmpeg's own chatter would drown the one line an error gets; what fails is reported here.
  av_log_set_level(AV_LOG_QUIET);
  // A reader of the raw frames that goes away is an error to report, not a signal to die of.
  std::signal(SIGPIPE, SIG_IGN);

  CLI::App app{"lumetra: an X-Y oscilloscope music visualizer. Renders sound files to video with the "
               "visualizer bundle."};
  app.set_version_flag("--version", "lumetra " LUMETRA_VERSION_TEXT);
  app.require_subcommand(1);
  app.fallthrough();
  std::vector<std::string> pluginArgs;
  app.add_option("--plugin", pluginArgs,
                 "A visualizer bundle, or a folder of bundles, to use instead of the default ones (repeatable)")
      ->type_name("PATH");
  app.footer("Bundles are looked for next to the lumetra program and in the build's own folder, unless --plugin is given.");

  RenderJob job;
  bool quiet = false;
  std::string sizeText = "1280x720", startText, durationText, atText;

  auto* render = app.add_subcommand("render", "Render a sound file to a video, a still, an image sequence or raw frames");
  render->add_option("input", job.input, "The sound file (WAV, FLAC, MP3, Ogg, M4A, ... anything FFmpeg reads)")
      ->required()->type_name("INPUT");
  render->add_option("-o,--output", job.output,
                     "Where to: FILE.mp4 or FILE.mkv (H.264 + AAC), FILE.png (a still), FOLDER/ or NAME%06d.png "
                     "(a PNG for every frame, numbered from 0), or - (raw frames on standard output, with --format rawvideo)")
      ->required()->type_name("OUTPUT");
  render->add_option("--format", job.format, "rawvideo: raw frames instead of what -o's extension says")
      ->type_name("FORMAT");
  render->add_option("--size", sizeText, "Frame size in pixels")->type_name("WxH")->capture_default_str();
  render->add_option("--fps", job.video.fps, "Frames per second, 1 to 1000")->type_name("N")->capture_default_str();
  render->add_option("--start", startText, "Where in the sound to begin (seconds or m:ss; default 0)")->type_name("TIME");
  render->add_option("--duration", durationText, "How much to render (seconds or m:ss; default to the end)")->type_name("TIME");
  render->add_option("--at", atText, "For a .png still: the moment shown (default the middle)")->type_name("TIME");
  render->add_flag("-q,--quiet", quiet, "No progress bar and no summary line");
  render->footer(kRawNote);

  auto* demo = app.add_subcommand("demo", "Render the built-in demo (25 s of Lissajous figures) to lumetra-demo.mp4 "
                                          "and lumetra-demo.png in the current folder");
  demo->add_flag("-q,--quiet", quiet, "No progress bar and no summary line");

  auto* plugins = app.add_subcommand("plugins", "List the visualizer bundles found and what each registered");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (app.get_subcommands().empty() && e.get_exit_code() != 0) {
      // CLI11 would say only that a command is missing; name the word it did not know.
      for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--plugin") {
          ++i;
          continue;
        }
        if (!word.empty() && word[0] != '-') {
          std::fprintf(stderr, "lumetra: unknown command \"%s\"; the commands are render, demo and plugins (see lumetra --help)\n",
                       word.c_str());
          return 2;
        }
      }
    }
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  std::vector<fs::path> pluginPaths(pluginArgs.begin(), pluginArgs.end());
  try {
    if (*plugins) return runPlugins(pluginPaths);

    job.plugins = pluginPaths;
    job.progress = quiet ? Progress::Quiet : Progress::Auto;
    if (*demo) {
      RenderJob video = job;
      video.input.clear();
      video.output = "lumetra-demo.mp4";
      const auto movie = runRender(video);
      RenderJob still = job;
      still.input.clear();
      still.output = "lumetra-demo.png";
      still.progress = Progress::Quiet;
      const auto picture = runRender(still);
      std::error_code ec;
      const auto here = fs::current_path(ec);
      std::printf("The demo is in %s:\n  %s  (H.264 video with its sound, 25 s)\n  %s  (a still at 0:%04.1f)\n",
                  here.c_str(), movie.c_str(), picture.c_str(), DemoSignal::kStillSeconds);
      return 0;
    }

    std::string problem = sizeInto(sizeText, job.video);
    std::optional<double> t;
    if (problem.empty() && !startText.empty()) {
      problem = timeInto(startText, t, "--start");
      job.start = t.value_or(0);
    }
    if (problem.empty() && !durationText.empty()) problem = timeInto(durationText, job.duration, "--duration");
    if (problem.empty() && !atText.empty()) problem = timeInto(atText, job.at, "--at");
    if (!problem.empty()) {
      std::fprintf(stderr, "lumetra: %s\n", problem.c_str());
      return 2;
    }
    runRender(job);
    return 0;
  } catch (const HostError& e) {
    std::fprintf(stderr, "lumetra: %s\n", e.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "lumetra: out of memory; give a smaller --size or a shorter --duration\n");
    return 1;
  }
}
