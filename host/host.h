/*
 * lumetra, the player: the parts it is made of, each usable and testable on its own.
 *
 *   bundles      find bundle folders, read Contents/Info, dlopen the shared object, send the
 *                entry point 'init' and keep what 'rvis' registers (bundle.cpp)
 *   plug-in host the host callback and one visualizer instance: every visual message with
 *                its block filled, 'hide' and 'clr ' on the way out (pluginhost.cpp)
 *   frame buffer the host-owned 32-bit pixels a window port is made over (pluginhost.cpp)
 *   audio in     any file FFmpeg opens, as 44.1 kHz interleaved int16 stereo, read in
 *                pieces so that long files cost no memory; the built-in demo signal
 *                (audio.cpp, demo.cpp)
 *   analysis     the 2050-byte snapshot for a playback position (analysis.cpp)
 *   frame clock  which sample each frame shows, in integers (this header)
 *   encoder      the output kinds: H.264+AAC video, PNG stills and sequences, raw frames,
 *                each written under a temporary name and renamed when complete (encoder.cpp)
 *   offline      `render`, `demo` and `plugins` as the command line runs them (offline.cpp)
 *
 * Errors a user can act on are thrown as HostError, whose text is one line saying what is
 * wrong and what to do; main() prints it and exits non-zero. The bundle loader answers
 * Expected instead, because a bad bundle is skipped, not fatal.
 */
#ifndef LUMETRA_HOST_H
#define LUMETRA_HOST_H

#include "hostapi.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace lumetra {

// ---- Errors ------------------------------------------------------------------------------

// A failure the user can act on. The message is one line: what is wrong, then what to do.
class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Error {
  std::string message;
};

// A value or the reason there is none.
template <class T>
class Expected {
 public:
  Expected(T value) : v_(std::move(value)) {}
  Expected(Error error) : v_(std::move(error)) {}
  explicit operator bool() const { return v_.index() == 0; }
  T& operator*() { return std::get<0>(v_); }
  T* operator->() { return &std::get<0>(v_); }
  const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

// ---- The frame clock ---------------------------------------------------------------------

inline constexpr int kSampleRate = 44100;
inline constexpr int kChannels = 2;

// Frame n shows the audio up to sample floor(n * rate / fps). Everything is integer
// arithmetic on 64 bits from the frame number, never an accumulated step, so frame 10
// million lands on exactly the sample it should: nothing drifts over a whole song, live or
// offline. fps may be a fraction (num / den), e.g. 30000/1001.
class FrameClock {
 public:
  constexpr FrameClock(std::int64_t sampleRate, std::int64_t fpsNum, std::int64_t fpsDen = 1)
      : rate_(sampleRate), num_(fpsNum), den_(fpsDen) {}

  // The sample position frame n shows (the snapshot ends just before it). n >= 0.
  constexpr std::int64_t sampleAt(std::int64_t frame) const { return frame * rate_ * den_ / num_; }
  // The last frame whose sample position is at or before sample (the frame a live player
  // shows at that playback position). sample >= 0.
  constexpr std::int64_t frameAt(std::int64_t sample) const {
    return ceilDiv((sample + 1) * num_, rate_ * den_) - 1;
  }
  // How many frames start inside the first `samples` samples: those with sampleAt(n) < samples.
  constexpr std::int64_t framesIn(std::int64_t samples) const {
    return samples <= 0 ? 0 : ceilDiv(samples * num_, rate_ * den_);
  }
  // Milliseconds of playback at a sample position (rounded down), as 'vrnd' carries them;
  // wraps after 49 days like any 32-bit millisecond count.
  constexpr std::uint32_t milliseconds(std::int64_t sample) const {
    return static_cast<std::uint32_t>(sample * 1000 / rate_);
  }
  constexpr std::int64_t rate() const { return rate_; }

 private:
  static constexpr std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }
  std::int64_t rate_, num_, den_;
};

// ---- Bundles -----------------------------------------------------------------------------

// What Contents/Info says: one `key = value` a line; identifier and executable are required.
struct BundleInfo {
  std::filesystem::path path;  // the bundle folder, absolute
  std::string identifier;
  std::string executable;      // Contents/Linux/<executable>.so
  std::string version;
};

Expected<BundleInfo> readBundleInfo(const std::filesystem::path& bundle);

// The plug-ins folders looked in when no --plugin is given, in order: the folder the
// lumetra executable is in, then the build's own folder (where the build lays out its
// bundle). Folders that do not exist are left out, duplicates too.
std::vector<std::filesystem::path> defaultPluginFolders();

// The bundles in these places, in order: a path that is itself a bundle (a folder with
// Contents/Info) counts as one, a folder is searched one level deep for such folders
// (sorted by name). Each bundle appears once.
std::vector<std::filesystem::path> findBundles(std::span<const std::filesystem::path> places);

// A visualizer as its bundle registered it, with its name decoded.
struct Visual {
  VisualRegistration registration;
  std::string name;
};

// A bundle loaded into the process: its shared object opened, registered with the platform
// by its identifier, its entry point sent 'init'; it keeps every registration that arrived
// through 'rvis' during that call. Destruction sends the entry point 'clr ' and closes the
// shared object, so every VisualInstance made from it must be gone by then.
class LoadedBundle {
 public:
  // Fails (with one line naming the bundle and what went wrong) when Contents/Info is
  // unusable, the shared object does not open, it has no entry point, 'init' answers an
  // error or nothing was registered.
  static Expected<std::unique_ptr<LoadedBundle>> load(const std::filesystem::path& bundle);
  ~LoadedBundle();
  LoadedBundle(const LoadedBundle&) = delete;
  LoadedBundle& operator=(const LoadedBundle&) = delete;

  const BundleInfo& info() const { return info_; }
  const std::vector<Visual>& visuals() const { return visuals_; }

  // The host callback every bundle and instance gets; the cookie is the LoadedBundle.
  // Answers 'rvis' (keeps a copy of the registration), 'pspc' (an FSSpec holding the
  // bundle folder's path), 'idle' (0); every other selector -4.
  static OSStatus hostCallback(void* cookie, OSType selector, HostCallBlock* block);

 private:
  LoadedBundle() = default;
  BundleInfo info_;
  void* library_ = nullptr;
  decltype(&iTunesPluginMainMachO) entry_ = nullptr;
  std::vector<Visual> visuals_;
};

// ---- The host side of one visualizer instance --------------------------------------------

// Called after every message the instance is sent, with the message and the handler's answer:
// the hook a recording test or a statistics overlay hangs on.
using MessageObserver = std::function<void(OSType message, OSStatus status)>;

// One instance of a registered visualizer, from the handler's 'init' to its 'clr '. Every
// call fills a fresh, zeroed message block, sends one message and answers the handler's
// status. Destruction sends 'hide' if a window is still shown, then 'clr '.
class VisualInstance {
 public:
  // Sends 'init' (with the host cookie, the host callback and the player's version). The
  // instance exists only if the handler answered 0.
  static Expected<std::unique_ptr<VisualInstance>> create(LoadedBundle& bundle, const Visual& visual,
                                                          MessageObserver observer = {});
  ~VisualInstance();
  VisualInstance(const VisualInstance&) = delete;
  VisualInstance& operator=(const VisualInstance&) = delete;

  OSStatus show(GrafPtr port, const Rect& rect, UInt32 options = 0);       // 'show'
  OSStatus setWindow(GrafPtr port, const Rect& rect, UInt32 options = 0);  // 'swin'
  OSStatus hide();                                                          // 'hide'
  OSStatus play(const TrackInfoBlock* track, const StreamInfoBlock* stream);        // 'vply'
  OSStatus changeTrack(const TrackInfoBlock* track, const StreamInfoBlock* stream); // 'ctrk'
  OSStatus pause();    // 'vpau'
  OSStatus unpause();  // 'vunp'
  OSStatus stop();     // 'vstp'
  OSStatus render(const RenderData& data, UInt32 timeStampMs);  // 'vrnd'
  OSStatus update();   // 'vupd'
  OSStatus idle();     // 'null'
  OSStatus configure();                  // 'cnfg'
  OSStatus event(const EventRecord& e);  // 'vevt'

  bool shown() const { return shown_; }

 private:
  VisualInstance() = default;
  OSStatus send(OSType message, VisualMessageBlock* block);
  VisualPluginProcPtr handler_ = nullptr;
  void* refCon_ = nullptr;
  MessageObserver observer_;
  bool shown_ = false;
};

// The host-owned pixels of one window: width x height 32-bit pixels, rows top to bottom with
// no padding (rowBytes = 4 x width), and the platform window port made over them. Each pixel
// is a native 32-bit word 0x00RRGGBB (on a little-endian machine the bytes B, G, R, 0).
class FrameBuffer {
 public:
  // Throws HostError when the memory cannot be had or the platform makes no port.
  FrameBuffer(int width, int height);
  ~FrameBuffer();
  FrameBuffer(const FrameBuffer&) = delete;
  FrameBuffer& operator=(const FrameBuffer&) = delete;

  GrafPtr port() const { return port_; }
  Rect bounds() const { return Rect{0, 0, static_cast<SInt16>(height_), static_cast<SInt16>(width_)}; }
  int width() const { return width_; }
  int height() const { return height_; }
  std::span<const std::uint32_t> pixels() const { return pixels_; }

 private:
  int width_, height_;
  std::vector<std::uint32_t> pixels_;
  GrafPtr port_ = nullptr;
};

// Turns what a player does (start, pause, resume, change track, stop, and the ticks of its
// clock) into the visual messages, as offline renders and the live player both send them:
// while playing, a tick sends 'vrnd' for the frame the clock has reached (once per frame,
// however often it ticks; frames a slow tick jumped over are not sent late), while paused or
// stopped it sends 'null'. Pause and stop clear the plug-in's snapshot ('vpau', 'vstp').
class SampleHistory;
class Analyzer;
class PlaybackDriver {
 public:
  PlaybackDriver(VisualInstance& visual, FrameClock clock);
  ~PlaybackDriver();
  void start(const TrackInfoBlock* track = nullptr, const StreamInfoBlock* stream = nullptr);  // 'vply'
  void changeTrack(const TrackInfoBlock* track = nullptr, const StreamInfoBlock* stream = nullptr);  // 'ctrk'
  void pause();   // 'vpau'
  void resume();  // 'vunp'
  void stop();    // 'vstp'
  // position: the sample being heard. Answers whether a new frame was rendered.
  bool tick(std::int64_t position, SampleHistory& history);
  bool playing() const { return playing_; }
  const RenderData& lastSnapshot() const { return data_; }

 private:
  VisualInstance& visual_;
  FrameClock clock_;
  std::unique_ptr<Analyzer> analyzer_;
  RenderData data_{};
  std::vector<std::int16_t> window_;
  std::int64_t lastFrame_ = -1;
  bool playing_ = false;
};

// ---- Audio in ----------------------------------------------------------------------------

// Interleaved 16-bit stereo at 44.1 kHz, read in pieces.
class SampleSource {
 public:
  virtual ~SampleSource() = default;
  // Fills the front of `out` (whole left/right pairs) and answers how many pairs were
  // written; 0 only at the end. Throws HostError on a decoding failure.
  virtual std::size_t read(std::span<std::int16_t> out) = 0;
  // The length in sample pairs when known beforehand (a container's estimate for files).
  virtual std::optional<std::int64_t> length() const = 0;
  // A short description for messages and the summary line.
  virtual std::string describe() const = 0;
};

// A file decoded with libavformat/libavcodec and converted with libswresample: resampled to
// 44.1 kHz, mono duplicated to both sides, more channels down-mixed to two with the
// library's standard matrix (centre and surrounds folded in at -3 dB, LFE left out), and
// normalised so the mix cannot clip.
class AudioDecoder final : public SampleSource {
 public:
  // Throws HostError for a missing, unreadable or undecodable file, or one without sound.
  explicit AudioDecoder(const std::filesystem::path& file);
  ~AudioDecoder() override;
  std::size_t read(std::span<std::int16_t> out) override;
  std::optional<std::int64_t> length() const override;
  std::string describe() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The built-in demo: a stereo signal made in code, 25 seconds of Lissajous figures. Each
// scene holds one frequency ratio on a base of 44100/512 Hz, so that a figure closes inside
// the 512 samples of one snapshot; a small detune of the right channel turns it slowly.
class DemoSignal final : public SampleSource {
 public:
  DemoSignal();
  std::size_t read(std::span<std::int16_t> out) override;
  std::optional<std::int64_t> length() const override { return kLength; }
  std::string describe() const override { return "the built-in demo"; }

  static constexpr std::int64_t kLength = 25 * kSampleRate;
  // A playback position whose picture shows the scope well, for the demo's still.
  static constexpr double kStillSeconds = 11.3;
  static std::int16_t sampleAt(std::int64_t index, int channel);

 private:
  std::int64_t position_ = 0;
};

// Decoded samples with absolute positions: pulls from a source as far as asked, keeps what
// has not been dropped yet. The render loop asks for the window of each frame, hands the new
// samples to the encoder and drops what no later frame needs, so a long file costs a few
// hundred kilobytes, not its length.
class SampleHistory {
 public:
  explicit SampleHistory(SampleSource& source) : source_(source) {}
  // Reads until the samples before position `end` are in, or the source ends.
  void fill(std::int64_t end);
  // Pairs read so far (the source's length once ended() is true).
  std::int64_t available() const { return base_ + static_cast<std::int64_t>(buffer_.size() / kChannels); }
  bool ended() const { return ended_; }
  // The pairs [end - out.size()/2, end), oldest first; positions before 0, past what was
  // read or already dropped read as silence.
  void window(std::int64_t end, std::span<std::int16_t> out) const;
  // The held pairs in [from, to) (clipped to what is held), interleaved.
  std::span<const std::int16_t> range(std::int64_t from, std::int64_t to) const;
  // Lets go of pairs before pos.
  void dropBefore(std::int64_t pos);
  // Reads up to position pos keeping only the `keep` pairs before it: a seek forward that
  // costs no memory however far it goes.
  void skipTo(std::int64_t pos, std::int64_t keep);

 private:
  SampleSource& source_;
  std::vector<std::int16_t> buffer_;
  std::int64_t base_ = 0;
  bool ended_ = false;
};

// ---- Analysis ----------------------------------------------------------------------------

inline constexpr int kAnalysisWindow = 1024;  // pairs a snapshot is made from
inline constexpr double kSpectrumFloorDb = -96.0;

// The snapshot for one playback position t, from the 1024 pairs ending at t:
//   - waveform: the last 512 samples of each channel, byte = clamp(round(128 + s / 256), 0,
//     255) for a 16-bit sample s (ties upward): silence is 128, -32768 is 0, full scale
//     positive is 255;
//   - spectrum: a 1024-point FFT (libavutil's av_tx) of each channel under a Hann window,
//     bins 0 to 511, magnitude normalised so a full-scale sine on a bin reads 0 dBFS, then
//     byte = clamp(round(255 x (dB + 96) / 96), 0, 255): -96 dBFS and below (and silence)
//     is 0, 0 dBFS is 255, one step is about 0.38 dB. Bin k is centred on k x 44100 / 1024 Hz.
//   - both channel counts 2.
class Analyzer {
 public:
  Analyzer();
  ~Analyzer();
  Analyzer(const Analyzer&) = delete;
  Analyzer& operator=(const Analyzer&) = delete;
  // window: 2 x 1024 interleaved samples, oldest first.
  void analyze(std::span<const std::int16_t> window, RenderData& out);

  static std::uint8_t waveformByte(std::int16_t sample);
  static std::uint8_t spectrumByte(double dbfs);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// ---- Encoder -----------------------------------------------------------------------------

enum class OutputKind { Video, Still, Sequence, Raw };

struct OutputTarget {
  OutputKind kind = OutputKind::Video;
  std::filesystem::path path;   // the file, folder or pattern as given; empty for stdout
  std::string container;        // "mp4" or "matroska" for Video
  bool toStdout = false;
};

// From -o and --format: .mp4 and .mkv are H.264+AAC video, .png a still, a path ending in
// "/" or naming an existing folder, or a pattern with a %d conversion (like %06d.png), an
// image sequence, "-" with --format rawvideo raw frames on standard output (--format rawvideo
// with a file name writes them to that file). Throws HostError for anything else.
OutputTarget parseOutput(const std::string& output, const std::string& format);

struct VideoFormat {
  int width = 1280;
  int height = 720;
  int fps = 60;
};

// Where frames (and, for video, the sound) go. finish() completes the output and puts it in
// place; a sink destroyed without finish() removes everything it wrote.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // pixels: width x height words as FrameBuffer holds them.
  virtual void writeFrame(std::span<const std::uint32_t> pixels) = 0;
  virtual bool wantsAudio() const { return false; }
  // Interleaved 44.1 kHz stereo, in order, from the first frame's position on.
  virtual void writeAudio(std::span<const std::int16_t>) {}
  virtual void finish() = 0;
  // Where the result is, for messages.
  virtual std::string describe() const = 0;
};

// Throws HostError when the place cannot be written or the encoder cannot be opened.
std::unique_ptr<FrameSink> openSink(const OutputTarget& target, const VideoFormat& format);

// An 8-bit RGB PNG of the pixels, written in place (callers wanting the rename use a sink).
void writePng(const std::filesystem::path& file, std::span<const std::uint32_t> pixels, int width, int height);
// Reads an 8-bit RGB or RGBA PNG back as 0x00RRGGBB words; for tests and tools.
std::optional<std::vector<std::uint32_t>> readPng(const std::filesystem::path& file, int& width, int& height);

// One picture in 8-bit YUV 4:2:0: a plane of width x height luma samples and two planes of
// ceil(width/2) x ceil(height/2) chroma samples, each row `stride` bytes from the last.
struct YuvPlanes {
  std::uint8_t* y;
  std::uint8_t* u;
  std::uint8_t* v;
  int yStride, uStride, vStride;
};

// The words 0x00RRGGBB (rows of `width`, no gaps) as BT.709 YUV in the limited range, the
// colours the H.264 files say they carry. Each chroma sample is the mean of its 2x2 block, or
// of the pixels there are at an odd right or bottom edge. Samples are the exact values of
// the BT.709 equations rounded to nearest, within one step. `pixels` must hold width x height
// words; nothing is written otherwise.
void toYuv420(std::span<const std::uint32_t> pixels, int width, int height, const YuvPlanes& out);

// ---- The commands ------------------------------------------------------------------------

enum class Progress { Auto, Quiet };

struct RenderJob {
  std::string input;                       // a file; empty for the built-in demo
  std::string output;
  std::string format;                      // --format
  VideoFormat video;
  double start = 0;                        // seconds
  std::optional<double> duration;          // seconds; to the end when absent
  std::optional<double> at;                // seconds, for a still
  Progress progress = Progress::Auto;
  std::vector<std::filesystem::path> plugins;  // --plugin; the default folders when empty
};

// Parses "90", "90.5", "1:30", "1:02:03.5" as seconds; nullopt for anything else.
std::optional<double> parseTime(const std::string& text);
// Parses "1280x720"; nullopt unless both are whole numbers.
std::optional<std::pair<long, long>> parseSize(const std::string& text);

// `lumetra render`; answers where the output went.
std::string runRender(const RenderJob& job);
// `lumetra plugins`: prints the bundles found and what each registered; answers the exit status.
int runPlugins(const std::vector<std::filesystem::path>& places);

// The first usable visualizer in these places (the default folders when empty); bundles
// that fail are reported on stderr, one line each, and skipped. Throws HostError when none
// is left.
struct PluginSet {
  std::vector<std::unique_ptr<LoadedBundle>> bundles;
  LoadedBundle* bundle = nullptr;
  const Visual* visual = nullptr;
};
PluginSet loadPlugins(const std::vector<std::filesystem::path>& places, bool reportSkipped = true);

// ---- The live player ---------------------------------------------------------------------
//
// `lumetra play` and `lumetra capture`: the picture in a window, paced by the sound device,
// with the toolkit's windows (the settings window) drawn over it (live.cpp; the window in
// screen.cpp, the drawing of the toolkit's windows in overlay.cpp, the sound devices in
// sound.cpp, the two commands put together in player.cpp). The loop is written against three small interfaces, the screen, the transport
// and the sound device, so that a test drives it with a scripted screen and clock.

// A key the player acts on that is not a character.
enum class LiveKey { Left, Right, Up, Down, Escape, FullscreenToggle };

// What the window tells the loop, already sorted: characters go to the plug-in first, keys
// straight to the player.
struct LiveEvent {
  enum class Kind { Character, Key, Resize, Expose, Pointer, Quit };
  Kind kind = Kind::Quit;
  char character = 0;         // Character: printable ASCII, as typed (shift applied)
  LiveKey key = LiveKey::Left;
  bool repeat = false;        // Character, Key: sent again because the key is held
  int width = 0, height = 0;  // Resize: the new size of the picture in pixels
  // Pointer: the mouse moved or clicked, which only the overlay's windows take; the screen
  // is drawn again so that they follow.
};

// What the loop wants shown over the picture, besides the toolkit's windows.
struct LiveStatus {
  bool help = false;    // the list of shortcuts
  std::string notice;   // a short line ("Paused", a track's name), empty for none
  std::string stats;    // the frame time line of --stats, empty without it
};

// The window, the clock and the pacing. now() is microseconds on a monotonic clock.
class LiveScreen {
 public:
  virtual ~LiveScreen() = default;
  virtual std::pair<int, int> pixelSize() = 0;
  virtual std::optional<LiveEvent> poll() = 0;
  virtual std::int64_t now() = 0;
  virtual void waitUntil(std::int64_t micros) = 0;
  // Shows the frame's pixels with the overlays; clicks on the toolkit's controls made in
  // the overlay are delivered to the platform before this returns.
  virtual void present(const FrameBuffer& frame, const LiveStatus& status) = 0;
  virtual void setFullscreen(bool on) = 0;
  virtual bool fullscreen() const = 0;
  // How long the latest present() spent handing the picture to the display, in microseconds:
  // the wait for its refresh, or for the display server to take a copy. It is not the
  // player's work, so --stats shows it apart from the frame time.
  virtual std::int64_t presentWait() const { return 0; }
  // What draws the window ("opengl", "software"), for --stats; empty when it does not say.
  virtual std::string drawer() const { return {}; }
};

// Where the sound of the live loop comes from and how far it has been heard.
class LiveTransport {
 public:
  enum class Pump { Going, TrackChanged, Ended };
  virtual ~LiveTransport() = default;
  // Keeps the sound going: queues what the device needs next, or takes in what was
  // captured. Answers whether the track changed or the last one ended.
  virtual Pump pump() = 0;
  // The sample being heard, counted from the start of the track.
  virtual std::int64_t position() = 0;
  virtual SampleHistory& history() = 0;
  virtual void setPaused(bool paused) = 0;
  // From the start of the current track after a stop (the first after the end); false when
  // nothing can be played.
  virtual bool restart() = 0;
  virtual void stop() = 0;
  // Moves by seconds (negative: back), kept inside the track; false when it cannot.
  virtual bool seek(double seconds) = 0;
  // Moves by whole tracks; true when another track is now current.
  virtual bool skip(int tracks) = 0;
  virtual std::string trackName() const = 0;
  virtual const TrackInfoBlock& trackInfo() const = 0;
  virtual const StreamInfoBlock& streamInfo() const = 0;
};

// Sound out, as the playlist needs it: interleaved 44.1 kHz stereo pairs.
class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  virtual void queue(std::span<const std::int16_t> samples) = 0;
  // Pairs queued and not yet heard.
  virtual std::int64_t pending() = 0;
  virtual void setPaused(bool paused) = 0;
  // Forgets everything queued: pending() is 0 afterwards.
  virtual void clear() = 0;
};

// Sound in: the pairs captured since the last call, without waiting.
class SoundInput {
 public:
  virtual ~SoundInput() = default;
  virtual std::size_t read(std::span<std::int16_t> out) = 0;
  virtual void setPaused(bool paused) = 0;
};

// The track and stream records the player hands over with 'vply' and 'ctrk'. The plug-in
// copies them whole and never looks inside; their layout is the player's own: the track's
// name at offset 0 and its file at offset 256, each NUL-terminated UTF-8 (cut to fit), then
// 32-bit native words: length in milliseconds (0 when unknown) at 2048, track number from 1
// at 2052, track count at 2056. The stream record: a description at offset 0 (NUL-terminated),
// then sample rate at 256 and channel count at 260.
void fillTrackInfo(TrackInfoBlock& track, const std::string& name, const std::string& file,
                   std::optional<std::int64_t> lengthPairs, int number, int count);
void fillStreamInfo(StreamInfoBlock& stream, const std::string& description);

// The files in order, each opened when its turn comes (one that cannot be decoded is named on
// stderr and passed over); no files plays the built-in demo. Sound is queued about 150 ms
// ahead, and the next file is queued right behind the end of the one before: no gap between
// tracks. The track changes when the first sample of the next one is heard.
class PlaylistTransport final : public LiveTransport {
 public:
  // Throws HostError when no entry can be opened.
  PlaylistTransport(std::vector<std::string> files, SoundOutput& out);
  ~PlaylistTransport() override;
  Pump pump() override;
  std::int64_t position() override;
  SampleHistory& history() override { return *current_.history; }
  void setPaused(bool paused) override;
  bool restart() override;
  void stop() override;
  bool seek(double seconds) override;
  bool skip(int tracks) override;
  std::string trackName() const override;
  const TrackInfoBlock& trackInfo() const override { return track_; }
  const StreamInfoBlock& streamInfo() const override { return stream_; }

 private:
  struct Entry {
    std::size_t index = 0;
    std::unique_ptr<SampleSource> source;
    std::unique_ptr<SampleHistory> history;  // over source, so declared after it
  };
  bool load(std::size_t index, int direction, Entry& into);
  bool open(std::size_t index, int direction);  // makes it current, from its start
  void describe();
  bool finished() const;  // the current track has handed out all it has
  void queueFrom(Entry& entry, std::int64_t from, std::int64_t to, std::int64_t offset);
  std::vector<std::string> files_;
  SoundOutput& out_;
  Entry current_;
  Entry next_;                  // queued behind the current one once that has given all it has
  std::int64_t queuedEnd_ = 0;  // in the current track's positions: just after the last pair queued
  std::int64_t boundary_ = 0;   // where the next track starts, in the same positions
  bool stopped_ = false;
  TrackInfoBlock track_{};
  StreamInfoBlock stream_{};
};

// What a capture device delivers, as the picture's sound. The position is the number of
// pairs captured: each frame shows the latest sound in.
class CaptureTransport final : public LiveTransport {
 public:
  // clock: microseconds on a monotonic clock (the steady clock when empty); position() runs
  // on it.
  CaptureTransport(SoundInput& in, std::string deviceName, std::function<std::int64_t()> clock = {});
  ~CaptureTransport() override;
  Pump pump() override;
  std::int64_t position() override;
  SampleHistory& history() override { return *history_; }
  void setPaused(bool paused) override;
  bool restart() override;
  void stop() override;
  bool seek(double) override { return false; }
  bool skip(int) override { return false; }
  std::string trackName() const override { return name_; }
  const TrackInfoBlock& trackInfo() const override { return track_; }
  const StreamInfoBlock& streamInfo() const override { return stream_; }

 private:
  class Feed;
  SoundInput& in_;
  std::string name_;
  std::unique_ptr<Feed> feed_;
  std::unique_ptr<SampleHistory> history_;
  std::function<std::int64_t()> clock_;
  std::vector<std::int16_t> scratch_;
  TrackInfoBlock track_{};
  StreamInfoBlock stream_{};
  // position(): where the shown clock was set and when, and the latest position shown.
  std::int64_t shownFrom_ = 0, shownAt_ = 0, shown_ = 0;
};

struct LiveLoopOptions {
  int fps = 60;
  bool stats = false;        // measure the frame time and show it (and print it each second)
  bool captureMode = false;  // no seeking or track keys in the help
  std::int64_t idleMicros = 33333;  // 'null' about 30 times a second while stopped or paused
};

// The live loop: 'show' with the window's size, 'vply' with the first track, then until a
// quit: the window's events, 'vrnd' for each frame of the frame clock that the sound device
// has reached while playing, 'null' about 30 times a second while paused or stopped, 'ctrk'
// when the track changes, 'vstp' when the last one ends; on a quit 'vstp' if still playing,
// then 'hide' (and the instance's 'clr ' when its owner lets it go).
class LiveLoop {
 public:
  LiveLoop(VisualInstance& visual, LiveScreen& screen, LiveTransport& transport, LiveLoopOptions options);
  ~LiveLoop();
  // Throws HostError when the plug-in refuses the window.
  void run();

 private:
  enum class State { Playing, Paused, Stopped };
  void handle(const LiveEvent& e);
  void character(char c, bool repeat);
  void shortcut(char c);
  void key(LiveKey k, bool repeat);
  void resize(int width, int height);
  void togglePause();
  void notice(std::string text);
  VisualInstance& visual_;
  LiveScreen& screen_;
  LiveTransport& transport_;
  LiveLoopOptions options_;
  FrameClock clock_;
  PlaybackDriver driver_;
  std::unique_ptr<FrameBuffer> frame_;
  State state_ = State::Playing;
  LiveStatus status_;
  std::int64_t noticeUntil_ = 0;
  bool quit_ = false;
};

struct LiveOptions {
  std::vector<std::string> files;  // play: empty for the built-in demo
  int width = 1280, height = 720;
  bool fullscreen = false;
  int fps = 60;
  bool stats = false;
  std::string device;              // capture: a device name, empty for the default choice
  std::vector<std::filesystem::path> plugins;
};

// `lumetra play`, `lumetra capture`, `lumetra capture --list-devices`: exit statuses.
int runPlay(const LiveOptions& options);
int runCapture(const LiveOptions& options);
int listCaptureDevices();

// The capture device `capture` opens, from the names SDL lists (monitor sources included):
//   - requested not empty: the device of exactly that name, else the one device whose name
//     contains it (letter case ignored); an error naming the choices when none or several do;
//   - else the monitor of the default output ("Monitor of " + its name) where there is one,
//     else the first monitor listed, so that what the machine plays is shown rather than a
//     microphone; else "" (the system's default capture device).
Expected<std::string> chooseCaptureDevice(const std::vector<std::string>& devices, const std::string& defaultOutput,
                                          const std::string& requested);

// The capture device of that name (empty: the system's default) through SDL, capturing from
// the moment it is opened, as `capture` uses it. Throws HostError when it cannot be opened.
std::unique_ptr<SoundInput> openCaptureDevice(const std::string& name);

}  // namespace lumetra

#endif
