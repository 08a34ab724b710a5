// The offline commands: `render` (and through it `demo`) and `plugins`, with the checks of
// their arguments and the progress shown while they run.
#include "host.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace lumetra {

namespace {

std::string clockText(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  const long s = std::lround(seconds);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

std::string versionText(const NumVersion& v) {
  std::string stage;
  switch (v.stage) {
    case 0x20: stage = "development"; break;
    case 0x40: stage = "alpha"; break;
    case 0x60: stage = "beta"; break;
    case kNumVersionFinalStage: stage = "final"; break;
    default: stage = "stage " + std::to_string(v.stage);
  }
  return std::to_string(v.majorRev) + "." + std::to_string(v.minorAndBugRev >> 4) + "." +
         std::to_string(v.minorAndBugRev & 0xF) + " (" + stage + ")";
}

std::string fourCC(OSType t) {
  std::string s = "'";
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((t >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s + "'";
}

// Percent, frames per second and time left on a terminal, at most ten times a second;
// nothing until the end otherwise.
class ProgressLine {
 public:
  ProgressLine(Progress mode, std::optional<std::int64_t> total)
      : quiet_(mode == Progress::Quiet), tty_(isatty(STDERR_FILENO) != 0), total_(total),
        begun_(std::chrono::steady_clock::now()) {}

  void update(std::int64_t frames) {
    if (quiet_ || !tty_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - shown_ < std::chrono::milliseconds(100)) return;
    shown_ = now;
    const double elapsed = seconds(now);
    const double fps = elapsed > 0 ? static_cast<double>(frames) / elapsed : 0;
    char line[160];
    if (total_ && *total_ > 0) {
      const double part = std::min(1.0, static_cast<double>(frames) / static_cast<double>(*total_));
      constexpr int kWidth = 30;
      const int filled = static_cast<int>(part * kWidth);
      const std::string bar = std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(kWidth - filled), '.');
      const double left = fps > 0 ? static_cast<double>(*total_ - frames) / fps : 0;
      std::snprintf(line, sizeof line, "\r%3d%% [%s] %6.1f fps  %s left ", static_cast<int>(part * 100), bar.c_str(), fps,
                    clockText(left).c_str());
    } else {
      std::snprintf(line, sizeof line, "\r%lld frames  %6.1f fps ", static_cast<long long>(frames), fps);
    }
    std::fputs(line, stderr);
    drawn_ = true;
  }

  void done(std::int64_t frames, double soundSeconds, const std::string& where) {
    if (quiet_) return;
    if (drawn_) std::fputs("\r\033[K", stderr);
    const double elapsed = seconds(std::chrono::steady_clock::now());
    std::fprintf(stderr, "lumetra: rendered %lld frame%s (%.1f s of sound) to %s in %.1f s, %.1f fps\n",
                 static_cast<long long>(frames), frames == 1 ? "" : "s", soundSeconds, where.c_str(), elapsed,
                 elapsed > 0 ? static_cast<double>(frames) / elapsed : 0.0);
  }

  // Wipes the bar so that an error message starts on a clean line.
  ~ProgressLine() {
    if (drawn_ && !quiet_ && std::uncaught_exceptions() > 0) std::fputs("\r\033[K", stderr);
  }

 private:
  double seconds(std::chrono::steady_clock::time_point t) const {
    return std::chrono::duration<double>(t - begun_).count();
  }
  bool quiet_, tty_;
  std::optional<std::int64_t> total_;
  std::chrono::steady_clock::time_point begun_, shown_{};
  bool drawn_ = false;
};

std::int64_t toSamples(double seconds) { return static_cast<std::int64_t>(std::floor(seconds * kSampleRate)); }

// A frame of width x height must fit the machine: the frame itself, the encoder's pictures
// and the copies along the way take about a dozen times its bytes.
void checkSize(const VideoFormat& v, OutputKind kind) {
  if (v.width < 1 || v.height < 1 || v.width > 32767 || v.height > 32767)
    throw HostError("--size " + std::to_string(v.width) + "x" + std::to_string(v.height) +
                    " cannot be drawn; give a width and height from 1 to 32767, like 1280x720");
  if (kind == OutputKind::Video && (v.width % 2 || v.height % 2))
    throw HostError("H.264 needs an even width and height, not " + std::to_string(v.width) + "x" + std::to_string(v.height) +
                    "; give for example --size " + std::to_string(v.width & ~1) + "x" + std::to_string(v.height & ~1));
  const double bytes = 4.0 * v.width * v.height;
  const double memory = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  if (memory > 0 && bytes * 12 > memory)
    throw HostError("a " + std::to_string(v.width) + "x" + std::to_string(v.height) + " frame needs more memory than this machine has (" +
                    std::to_string(static_cast<long long>(memory / 1048576)) + " MB); give a smaller --size");
  if (v.fps < 1 || v.fps > 1000)
    throw HostError("--fps " + std::to_string(v.fps) + " is out of range; give a whole number from 1 to 1000, like 60");
}

}  // namespace

std::optional<double> parseTime(const std::string& text) {
  if (text.empty() || text.size() > 32) return std::nullopt;
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ':')) parts.push_back(part);
  if (text.back() == ':' || parts.empty() || parts.size() > 3) return std::nullopt;
  double total = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const auto& p = parts[i];
    const bool last = i + 1 == parts.size();
    if (p.empty()) return std::nullopt;
    std::size_t used = 0;
    for (char c : p)
      if (!(std::isdigit(static_cast<unsigned char>(c)) || (last && c == '.'))) return std::nullopt;
    double value = 0;
    try {
      value = std::stod(p, &used);
    } catch (...) {
      return std::nullopt;
    }
    if (used != p.size() || !std::isfinite(value)) return std::nullopt;
    // Minutes and seconds after a larger unit stay below 60, as on a clock.
    if (i > 0 && value >= 60) return std::nullopt;
    total = total * 60 + value;
  }
  return total;
}

std::optional<std::pair<long, long>> parseSize(const std::string& text) {
  const auto x = text.find_first_of("xX");
  if (x == std::string::npos || x == 0 || x + 1 >= text.size() || x > 9 || text.size() - x - 1 > 9) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != x && !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  return std::pair{std::stol(text.substr(0, x)), std::stol(text.substr(x + 1))};
}

PluginSet loadPlugins(const std::vector<fs::path>& places, bool reportSkipped) {
  std::vector<fs::path> where = places;
  for (const auto& p : places) {
    std::error_code ec;
    if (!fs::exists(p, ec)) throw HostError("--plugin " + p.string() + ": no such bundle or folder; check the path");
  }
  if (where.empty()) where = defaultPluginFolders();
  const auto bundles = findBundles(where);
  if (bundles.empty()) {
    std::string list;
    for (const auto& p : where) list += (list.empty() ? "" : ", ") + p.string();
    throw HostError("no visualizer bundle found" + (list.empty() ? std::string() : " in " + list) +
                    "; build the project (tools/demo) or pass --plugin PATH");
  }
  PluginSet set;
  std::string lastError;
  for (const auto& path : bundles) {
    auto loaded = LoadedBundle::load(path);
    if (!loaded) {
      lastError = loaded.error().message;
      if (reportSkipped) std::fprintf(stderr, "lumetra: skipping %s\n", lastError.c_str());
      continue;
    }
    set.bundles.push_back(std::move(*loaded));
    if (!set.bundle) {
      set.bundle = set.bundles.back().get();
      set.visual = &set.bundle->visuals().front();
    }
  }
  if (!set.bundle) throw HostError("no usable visualizer: " + lastError);
  return set;
}

std::string runRender(const RenderJob& job) {
  const OutputTarget target = parseOutput(job.output, job.format);
  checkSize(job.video, target.kind);
  if (!(job.start >= 0)) throw HostError("--start must not be negative");
  if (job.duration && !(*job.duration > 0)) throw HostError("--duration must be more than 0 seconds");
  if (job.at && !(*job.at >= 0)) throw HostError("--at must not be negative");
  if (job.at && target.kind != OutputKind::Still)
    throw HostError("--at picks the moment of a .png still; for a video or a sequence give --start and --duration");
  // The output replaces its file only at the end, by which time the input has been read;
  // still, a render over its own input would lose the sound, so it is refused up front.
  if (!job.input.empty() && !target.toStdout) {
    std::error_code ec;
    if (fs::equivalent(job.input, target.path, ec))
      throw HostError("the output " + target.path.string() + " is the input itself; choose another -o");
  }

  std::unique_ptr<SampleSource> source;
  if (job.input.empty())
    source = std::make_unique<DemoSignal>();
  else
    source = std::make_unique<AudioDecoder>(job.input);
  const std::int64_t startSample = toSamples(job.start);
  const auto length = source->length();
  if (length && startSample >= *length)
    throw HostError("--start " + clockText(job.start) + " is past the end of " + source->describe() + " (" +
                    clockText(static_cast<double>(*length) / kSampleRate) + " long)");
  std::int64_t endSample = job.duration ? startSample + std::max<std::int64_t>(1, toSamples(*job.duration))
                                        : std::numeric_limits<std::int64_t>::max();

  std::int64_t at = 0;
  if (target.kind == OutputKind::Still) {
    // The still shows one moment: --at, or the middle of what a render would cover.
    at = job.at ? toSamples(*job.at)
                    : job.input.empty() && !job.duration ? toSamples(DemoSignal::kStillSeconds)
                                                         : startSample + (std::min(endSample, length.value_or(startSample)) - startSample) / 2;
    if (length && at > *length)
      throw HostError("--at " + clockText(static_cast<double>(at) / kSampleRate) + " is past the end of " + source->describe() +
                      " (" + clockText(static_cast<double>(*length) / kSampleRate) + " long)");
  }

  // The output place is checked (and its temporary made) before the long work starts.
  auto sink = openSink(target, job.video);
  PluginSet plugins = loadPlugins(job.plugins);
  const VisualRegistration& reg = plugins.visual->registration;
  if (job.video.width < reg.minWindowWidth || job.video.height < reg.minWindowHeight ||
      job.video.width > reg.maxWindowWidth || job.video.height > reg.maxWindowHeight)
    throw HostError("the visualizer \"" + plugins.visual->name + "\" draws from " + std::to_string(reg.minWindowWidth) + "x" +
                    std::to_string(reg.minWindowHeight) + " to " + std::to_string(reg.maxWindowWidth) + "x" +
                    std::to_string(reg.maxWindowHeight) + "; give a --size in that range");

  FrameBuffer frame(job.video.width, job.video.height);
  auto created = VisualInstance::create(*plugins.bundle, *plugins.visual);
  if (!created) throw HostError(created.error().message);
  VisualInstance& visual = **created;
  if (const OSStatus s = visual.show(frame.port(), frame.bounds()); s != noErr)
    throw HostError("the visualizer could not take a " + std::to_string(job.video.width) + "x" +
                    std::to_string(job.video.height) + " window (status " + std::to_string(s) + "); give a smaller --size");
  // The track and stream records are the host's own; the plug-in copies them and never looks
  // inside, so the player hands over zeroed ones.
  const TrackInfoBlock track{};
  const StreamInfoBlock stream{};
  visual.play(&track, &stream);

  Analyzer analyzer;
  SampleHistory history(*source);
  std::array<std::int16_t, kAnalysisWindow * kChannels> window{};
  RenderData data{};
  const FrameClock clock(kSampleRate, job.video.fps);
  std::int64_t frames = 0;
  double soundSeconds = 0;

  if (target.kind == OutputKind::Still) {
    history.skipTo(at, kAnalysisWindow);
    history.window(at, window);
    analyzer.analyze(window, data);
    visual.render(data, clock.milliseconds(at));
    sink->writeFrame(frame.pixels());
    frames = 1;
  } else {
    std::optional<std::int64_t> total;
    if (length) total = clock.framesIn(std::min(endSample, *length) - startSample);
    ProgressLine progress(job.progress, total);
    std::int64_t audioSent = startSample;
    history.skipTo(startSample, kAnalysisWindow);
    for (std::int64_t n = 0;; ++n) {
      const std::int64_t t = startSample + clock.sampleAt(n);
      if (t >= endSample) break;
      history.fill(t + 1);
      if (history.available() <= t) break;  // the sound ended before this frame
      history.window(t, window);
      analyzer.analyze(window, data);
      visual.render(data, clock.milliseconds(t));
      sink->writeFrame(frame.pixels());
      ++frames;
      if (sink->wantsAudio()) {
        const std::int64_t upTo = std::min(history.available(), endSample);
        sink->writeAudio(history.range(audioSent, upTo));
        audioSent = std::max(audioSent, upTo);
      }
      history.dropBefore(std::min(audioSent, t) - kAnalysisWindow);
      progress.update(frames);
    }
    if (frames == 0) throw HostError(source->describe() + " has no sound in the chosen range; check --start and --duration");
    history.fill(endSample == std::numeric_limits<std::int64_t>::max() ? history.available() : endSample);
    const std::int64_t soundEnd = std::min(history.available(), endSample);
    if (sink->wantsAudio()) sink->writeAudio(history.range(audioSent, soundEnd));
    soundSeconds = static_cast<double>(soundEnd - startSample) / kSampleRate;
    visual.stop();
    visual.hide();
    sink->finish();
    progress.done(frames, soundSeconds, sink->describe());
    return sink->describe();
  }
  visual.stop();
  visual.hide();
  sink->finish();
  if (job.progress != Progress::Quiet)
    std::fprintf(stderr, "lumetra: wrote the still to %s\n", sink->describe().c_str());
  return sink->describe();
}

int runPlugins(const std::vector<fs::path>& places) {
  for (const auto& p : places) {
    std::error_code ec;
    if (!fs::exists(p, ec)) throw HostError("--plugin " + p.string() + ": no such bundle or folder; check the path");
  }
  const auto where = places.empty() ? defaultPluginFolders() : places;
  std::printf("Looking in:\n");
  for (const auto& p : where) std::printf("  %s\n", p.c_str());
  const auto bundles = findBundles(where);
  if (bundles.empty()) {
    std::printf("No bundles found. Build the project (tools/demo) or pass --plugin PATH.\n");
    return 1;
  }
  int usable = 0;
  for (const auto& path : bundles) {
    std::printf("\n%s\n  folder: %s\n", path.filename().c_str(), path.c_str());
    auto loaded = LoadedBundle::load(path);
    if (!loaded) {
      std::printf("  not usable: %s\n", loaded.error().message.c_str());
      continue;
    }
    ++usable;
    const auto& info = (*loaded)->info();
    std::printf("  identifier: %s, version %s\n", info.identifier.c_str(), info.version.empty() ? "?" : info.version.c_str());
    for (const auto& v : (*loaded)->visuals()) {
      const auto& r = v.registration;
      std::printf("  visualizer \"%s\" version %s, creator %s\n", v.name.c_str(), versionText(r.versionRecord).c_str(),
                  fourCC(r.creatorCode).c_str());
      std::printf("    options 0x%X, waveform channels %u, spectrum channels %u, window %dx%d to %dx%d\n", r.optionWord,
                  r.waveformChannelCount, r.spectrumChannelCount, r.minWindowWidth, r.minWindowHeight, r.maxWindowWidth,
                  r.maxWindowHeight);
    }
  }
  return usable > 0 ? 0 : 1;
}

}  // namespace lumetra
