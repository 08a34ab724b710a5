// The live player's loop and where its sound comes from: the playlist (files or the built-in
// demo, out through a sound device) and a capture device. Nothing here touches SDL; the
// window, the sound devices and the overlay come in through the interfaces of host.h, so a
// test drives the same loop with a scripted screen and clock.
#include "host.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace lumetra {

namespace {

constexpr std::int64_t kSecond = 1'000'000;           // microseconds
constexpr std::int64_t kLead = kSampleRate * 3 / 20;  // sound queued ahead: 150 ms
constexpr std::int64_t kRewind = 30 * kSampleRate;    // decoded sound kept behind, for seeking back
constexpr double kSeekStep = 5.0;                     // seconds per arrow key

void copyText(std::uint8_t* to, std::size_t room, const std::string& text) {
  const std::size_t n = std::min(text.size(), room - 1);
  std::memcpy(to, text.data(), n);
  to[n] = 0;
}

void putWord(std::uint8_t* at, std::uint32_t value) { std::memcpy(at, &value, sizeof value); }

std::string clockText(std::int64_t pairs) {
  const std::int64_t s = std::max<std::int64_t>(0, pairs / kSampleRate);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
  return text;
}

}  // namespace

void fillTrackInfo(TrackInfoBlock& track, const std::string& name, const std::string& file,
                   std::optional<std::int64_t> lengthPairs, int number, int count) {
  track = TrackInfoBlock{};
  copyText(track.bytes, 256, name);
  copyText(track.bytes + 256, 1024, file);
  const std::int64_t ms = lengthPairs ? *lengthPairs * 1000 / kSampleRate : 0;
  putWord(track.bytes + 2048, static_cast<std::uint32_t>(std::clamp<std::int64_t>(ms, 0, UINT32_MAX)));
  putWord(track.bytes + 2052, static_cast<std::uint32_t>(number));
  putWord(track.bytes + 2056, static_cast<std::uint32_t>(count));
}

void fillStreamInfo(StreamInfoBlock& stream, const std::string& description) {
  stream = StreamInfoBlock{};
  copyText(stream.bytes, 256, description);
  putWord(stream.bytes + 256, kSampleRate);
  putWord(stream.bytes + 260, kChannels);
}

// ---- PlaylistTransport -------------------------------------------------------------------

PlaylistTransport::PlaylistTransport(std::vector<std::string> files, SoundOutput& out)
    : files_(std::move(files)), out_(out) {
  if (!open(0, +1)) throw HostError("none of the files given can be played; check the names and that they hold sound");
}

PlaylistTransport::~PlaylistTransport() = default;

// Opens entry index, or the next one that opens in the direction given; a file that cannot
// be decoded is named on stderr and passed over, as a player passes over a broken entry
// rather than stopping the whole list.
bool PlaylistTransport::load(std::size_t index, int direction, Entry& into) {
  const std::size_t count = std::max<std::size_t>(files_.size(), 1);
  for (std::size_t i = index; i < count; i = direction > 0 ? i + 1 : i - 1) {
    std::unique_ptr<SampleSource> source;
    try {
      if (files_.empty())
        source = std::make_unique<DemoSignal>();
      else
        source = std::make_unique<AudioDecoder>(files_[i]);
    } catch (const HostError& e) {
      // A single file that cannot be played is the one error of the command.
      if (files_.size() == 1) throw;
      std::fprintf(stderr, "lumetra: skipping %s: %s\n", files_[i].c_str(), e.what());
      continue;
    }
    into.history.reset();
    into.source = std::move(source);
    into.history = std::make_unique<SampleHistory>(*into.source);
    into.index = i;
    return true;
  }
  return false;
}

bool PlaylistTransport::open(std::size_t index, int direction) {
  Entry entry;
  if (!load(index, direction, entry)) return false;
  next_ = Entry{};
  current_ = std::move(entry);
  queuedEnd_ = 0;
  out_.clear();
  describe();
  return true;
}

void PlaylistTransport::describe() {
  const std::size_t count = std::max<std::size_t>(files_.size(), 1);
  fillTrackInfo(track_, trackName(), files_.empty() ? std::string() : files_[current_.index], current_.source->length(),
                static_cast<int>(current_.index) + 1, static_cast<int>(count));
  fillStreamInfo(stream_, "44100 Hz stereo, " + current_.source->describe());
}

std::string PlaylistTransport::trackName() const {
  if (files_.empty()) return "The built-in demo";
  return std::filesystem::path(files_[current_.index]).stem().string();
}

bool PlaylistTransport::finished() const {
  return current_.history->ended() && queuedEnd_ >= current_.history->available();
}

std::int64_t PlaylistTransport::position() {
  if (stopped_) return 0;
  return std::max<std::int64_t>(0, queuedEnd_ - out_.pending());
}

// Queues entry's pairs [from, to) (its own positions), counted in the current track's
// positions from offset on.
void PlaylistTransport::queueFrom(Entry& entry, std::int64_t from, std::int64_t to, std::int64_t offset) {
  while (from < to) {
    entry.history->fill(to);
    const auto more = entry.history->range(from, to);
    if (more.empty()) break;
    out_.queue(more);
    from += static_cast<std::int64_t>(more.size() / kChannels);
    queuedEnd_ = offset + from;
  }
}

LiveTransport::Pump PlaylistTransport::pump() {
  if (stopped_) return Pump::Going;
  std::int64_t heard = position();
  Pump result = Pump::Going;
  if (next_.history && heard >= boundary_) {
    // The first sample of the next track is being heard: it is the current one now.
    queuedEnd_ -= boundary_;
    heard -= boundary_;
    current_ = std::move(next_);
    next_ = Entry{};
    describe();
    result = Pump::TrackChanged;
  }
  const std::int64_t target = heard + kLead;
  if (!next_.history) queueFrom(current_, queuedEnd_, target, 0);
  if (!next_.history && finished()) {
    if (current_.index + 1 < files_.size() && load(current_.index + 1, +1, next_)) {
      boundary_ = queuedEnd_;
    } else if (out_.pending() == 0) {
      stopped_ = true;
      out_.clear();
      return Pump::Ended;
    }
  }
  if (next_.history) queueFrom(next_, queuedEnd_ - boundary_, target - boundary_, boundary_);
  current_.history->dropBefore(heard - kRewind);
  return result;
}

void PlaylistTransport::setPaused(bool paused) { out_.setPaused(paused); }

bool PlaylistTransport::restart() {
  // After the end of the list the first entry plays again; after a stop, the current one.
  if (!open(finished() ? 0 : current_.index, +1)) return false;
  stopped_ = false;
  out_.setPaused(false);
  return true;
}

void PlaylistTransport::stop() {
  stopped_ = true;
  next_ = Entry{};
  out_.clear();
  out_.setPaused(true);
}

// Seeking forward decodes up to the new place; seeking back uses what is still held (the
// last 30 seconds), and beyond that opens the file again and decodes up to the place: the
// decoders give no random access, and decoding runs far faster than playback.
bool PlaylistTransport::seek(double seconds) {
  if (stopped_) return false;
  const std::int64_t heard = position();
  std::int64_t target = std::max<std::int64_t>(0, heard + static_cast<std::int64_t>(seconds * kSampleRate));
  SampleHistory* history = current_.history.get();
  if (target < heard && history->range(target, target + 1).empty()) {
    Entry again;
    try {
      if (!load(current_.index, +1, again) || again.index != current_.index) throw HostError("the file cannot be read again");
    } catch (const HostError& e) {
      std::fprintf(stderr, "lumetra: cannot seek in %s: %s\n", trackName().c_str(), e.what());
      return false;
    }
    current_ = std::move(again);
    history = current_.history.get();
  }
  next_ = Entry{};
  history->fill(target + kLead);
  // Past the end: the last moment of the track, so that it ends as it would have.
  target = std::min(target, history->available());
  out_.clear();
  queuedEnd_ = target;
  history->dropBefore(target - kRewind);
  return true;
}

bool PlaylistTransport::skip(int tracks) {
  if (stopped_ || tracks == 0) return false;
  const long long wanted = static_cast<long long>(current_.index) + tracks;
  if (wanted < 0 || files_.size() <= 1) {
    // Before the first: back to its start.
    if (tracks < 0) seek(-static_cast<double>(position()) / kSampleRate);
    return false;
  }
  if (wanted >= static_cast<long long>(files_.size())) return false;
  return open(static_cast<std::size_t>(wanted), tracks > 0 ? +1 : -1);
}

// ---- CaptureTransport --------------------------------------------------------------------

// Hands the history what the device captured, as a source that never waits: the transport
// fills the history with exactly what is staged, so the history never reads past it and
// never takes the empty stage for the end.
class CaptureTransport::Feed final : public SampleSource {
 public:
  std::size_t read(std::span<std::int16_t> out) override {
    const std::size_t pairs = std::min(out.size(), staged.size()) / kChannels;
    std::copy_n(staged.begin(), pairs * kChannels, out.begin());
    staged.erase(staged.begin(), staged.begin() + static_cast<std::ptrdiff_t>(pairs * kChannels));
    return pairs;
  }
  std::optional<std::int64_t> length() const override { return std::nullopt; }
  std::string describe() const override { return "the capture device"; }
  std::vector<std::int16_t> staged;
};

namespace {
constexpr std::int64_t kCaptureCushion = 1024;     // pairs, 23 ms
constexpr std::int64_t kCaptureMostBehind = 4096;  // pairs, 93 ms: more than any burst
}  // namespace

CaptureTransport::CaptureTransport(SoundInput& in, std::string deviceName, std::function<std::int64_t()> clock)
    : in_(in), name_(std::move(deviceName)), feed_(std::make_unique<Feed>()),
      history_(std::make_unique<SampleHistory>(*feed_)), clock_(std::move(clock)), scratch_(8192 * kChannels) {
  if (!clock_)
    clock_ = [] {
      return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  feed_->staged.reserve(scratch_.size());
  fillTrackInfo(track_, name_, std::string(), std::nullopt, 1, 1);
  fillStreamInfo(stream_, "44100 Hz stereo, captured from " + name_);
}

CaptureTransport::~CaptureTransport() = default;

LiveTransport::Pump CaptureTransport::pump() {
  for (;;) {
    const std::size_t pairs = in_.read(scratch_);
    if (pairs == 0) break;
    feed_->staged.insert(feed_->staged.end(), scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(pairs * kChannels));
    history_->fill(history_->available() + static_cast<std::int64_t>(feed_->staged.size() / kChannels));
  }
  // position() may be behind what has arrived; the window that ends there is kept.
  history_->dropBefore(history_->available() - kCaptureMostBehind - kAnalysisWindow);
  return Pump::Going;
}

// Captured sound comes in bursts, the sound server's blocks of 5 to 40 ms, unevenly. Shown
// as it arrives, the picture would move in steps at the bursts' rate (43 a second for blocks
// of 1024 pairs) whatever the frame rate. The position shown runs on the clock at the sound's
// rate instead, kCaptureCushion behind what has arrived, so that uneven bursts do not stop
// it. When it gets ahead of what has arrived, or more than kCaptureMostBehind behind (a
// stall, the device's clock drifting from ours), it is set a cushion behind again; it never
// goes back, so after getting ahead the picture holds still until the clock has caught up.
std::int64_t CaptureTransport::position() {
  const std::int64_t arrived = history_->available();
  const std::int64_t now = clock_();
  std::int64_t running = shownFrom_ + (now - shownAt_) * kSampleRate / 1'000'000;
  if (running > arrived || arrived - running > kCaptureMostBehind) {
    shownFrom_ = std::max<std::int64_t>(arrived - kCaptureCushion, 0);
    shownAt_ = now;
    running = shownFrom_;
  }
  shown_ = std::max(running, shown_);
  return shown_;
}

void CaptureTransport::setPaused(bool paused) { in_.setPaused(paused); }
bool CaptureTransport::restart() {
  in_.setPaused(false);
  return true;
}
void CaptureTransport::stop() { in_.setPaused(true); }

Expected<std::string> chooseCaptureDevice(const std::vector<std::string>& devices, const std::string& defaultOutput,
                                          const std::string& requested) {
  const auto lower = [](std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const auto listed = [&] {
    std::string list;
    for (const auto& d : devices) list += (list.empty() ? "\"" : ", \"") + d + "\"";
    return list.empty() ? std::string("none") : list;
  };
  if (!requested.empty()) {
    if (std::find(devices.begin(), devices.end(), requested) != devices.end()) return requested;
    std::vector<std::string> matches;
    for (const auto& d : devices)
      if (lower(d).find(lower(requested)) != std::string::npos) matches.push_back(d);
    if (matches.size() == 1) return matches.front();
    if (matches.empty())
      return Error{"no capture device is called \"" + requested + "\"; the devices are " + listed() +
                   " (see lumetra capture --list-devices)"};
    return Error{"\"" + requested + "\" names " + std::to_string(matches.size()) +
                 " capture devices; give more of the name (see lumetra capture --list-devices)"};
  }
  const std::string monitorPrefix = "Monitor of ";
  if (!defaultOutput.empty()) {
    const auto it = std::find(devices.begin(), devices.end(), monitorPrefix + defaultOutput);
    if (it != devices.end()) return *it;
  }
  for (const auto& d : devices)
    if (d.rfind(monitorPrefix, 0) == 0) return d;
  return std::string();
}

// ---- LiveLoop ----------------------------------------------------------------------------

LiveLoop::LiveLoop(VisualInstance& visual, LiveScreen& screen, LiveTransport& transport, LiveLoopOptions options)
    : visual_(visual), screen_(screen), transport_(transport), options_(options),
      clock_(kSampleRate, std::clamp(options.fps, 1, 1000)), driver_(visual, clock_) {}

LiveLoop::~LiveLoop() = default;

void LiveLoop::notice(std::string text) {
  status_.notice = std::move(text);
  noticeUntil_ = screen_.now() + 2 * kSecond;
}

void LiveLoop::run() {
  const auto [width, height] = screen_.pixelSize();
  frame_ = std::make_unique<FrameBuffer>(width, height);
  if (const OSStatus s = visual_.show(frame_->port(), frame_->bounds()); s != noErr)
    throw HostError("the visualizer could not take a " + std::to_string(width) + "x" + std::to_string(height) +
                    " window (status " + std::to_string(s) + "); give a smaller --size");
  driver_.start(&transport_.trackInfo(), &transport_.streamInfo());
  transport_.setPaused(false);
  notice(transport_.trackName());

  std::int64_t nextIdle = screen_.now();
  std::int64_t statsFrom = screen_.now(), busy = 0, worst = 0, drawing = 0, waiting = 0;
  int frames = 0;
  bool dirty = true;
  while (!quit_) {
    while (auto e = screen_.poll()) {
      handle(*e);
      dirty = true;
      if (quit_) break;
    }
    if (quit_) break;
    const std::int64_t begun = screen_.now();

    switch (transport_.pump()) {
      case LiveTransport::Pump::TrackChanged:
        driver_.changeTrack(&transport_.trackInfo(), &transport_.streamInfo());
        notice(transport_.trackName());
        break;
      case LiveTransport::Pump::Ended:
        driver_.stop();
        state_ = State::Stopped;
        notice("Stopped (Space plays again)");
        break;
      case LiveTransport::Pump::Going:
        break;
    }

    const std::int64_t now = screen_.now();
    std::int64_t wake;
    bool drew = false;
    if (state_ == State::Playing) {
      const std::int64_t position = transport_.position();
      drew = driver_.tick(position, transport_.history());
      if (drew) drawing += screen_.now() - now;
      // Wake when the sound reaches the next frame's sample, or a frame's time from now if
      // the device reports nothing new (a stall), so that events are still handled.
      const std::int64_t next = clock_.sampleAt(clock_.frameAt(position) + 1);
      const std::int64_t framePeriod = kSecond / std::clamp(options_.fps, 1, 1000);
      wake = now + std::clamp<std::int64_t>((next - position) * kSecond / kSampleRate, 1000, framePeriod);
    } else {
      if (now >= nextIdle) {
        driver_.tick(0, transport_.history());  // 'null'
        nextIdle = std::max(nextIdle + options_.idleMicros, now);
        drew = true;
      }
      wake = nextIdle;
    }
    if (!status_.notice.empty() && now >= noticeUntil_) {
      status_.notice.clear();
      dirty = true;
    }
    // The screen is drawn again only when there is something new: a frame, an event (the
    // overlay's windows follow the pointer) or a notice that went away.
    if (!drew && !dirty) {
      screen_.waitUntil(wake);
      continue;
    }
    dirty = false;
    screen_.present(*frame_, status_);

    if (options_.stats) {
      const std::int64_t spent = screen_.now() - begun - screen_.presentWait();
      waiting += screen_.presentWait();
      busy += spent;
      worst = std::max(worst, spent);
      ++frames;
      if (screen_.now() - statsFrom >= kSecond) {
        char line[200];
        // The frame time is the player's work for one picture: the sound kept going, the
        // visualizer's frame (analysis and drawing), the upload and the overlay. Handing the
        // picture to the display is shown apart, with what draws the window.
        std::snprintf(line, sizeof line,
                      "%dx%d  %d frames/s  frame time %.2f ms average (visualizer %.2f ms), %.2f ms worst, "
                      "present %.2f ms (%s)",
                      frame_->width(), frame_->height(), frames, static_cast<double>(busy) / frames / 1000.0,
                      static_cast<double>(drawing) / frames / 1000.0, static_cast<double>(worst) / 1000.0,
                      static_cast<double>(waiting) / frames / 1000.0, screen_.drawer().c_str());
        status_.stats = line;
        std::fprintf(stderr, "lumetra: %s\n", line);
        statsFrom = screen_.now();
        busy = worst = drawing = waiting = 0;
        frames = 0;
      }
    }
    screen_.waitUntil(wake);
  }
  // Quitting stops the music first, as a player does, then takes the window away.
  if (state_ != State::Stopped) {
    transport_.stop();
    driver_.stop();
  }
  visual_.hide();
}

void LiveLoop::handle(const LiveEvent& e) {
  switch (e.kind) {
    case LiveEvent::Kind::Character: character(e.character, e.repeat); break;
    case LiveEvent::Kind::Key: key(e.key, e.repeat); break;
    case LiveEvent::Kind::Resize: resize(e.width, e.height); break;
    case LiveEvent::Kind::Expose: visual_.update(); break;
    case LiveEvent::Kind::Pointer: break;
    case LiveEvent::Kind::Quit: quit_ = true; break;
  }
}

// A character goes to the plug-in first, as a key-down event (auto-key while the key
// repeats); only what it does not handle (-4) reaches the player's own shortcuts.
void LiveLoop::character(char c, bool repeat) {
  EventRecord record{};
  record.what = repeat ? autoKey : keyDown;
  record.message = static_cast<UInt8>(c);
  record.when = static_cast<UInt32>(screen_.now() / 16667);  // ticks of 1/60 s
  if (visual_.event(record) != unimpErr) return;
  // Held keys repeat only the plug-in's own toggles: a held Space or Q acts once.
  if (!repeat) shortcut(c);
}

void LiveLoop::shortcut(char c) {
  switch (c) {
    case ' ': togglePause(); break;
    case ',': visual_.configure(); break;
    case 'h': case 'H': case '?': status_.help = !status_.help; break;
    case 'q': case 'Q': quit_ = true; break;
    case 's': case 'S':
      if (state_ != State::Stopped) {
        transport_.stop();
        driver_.stop();
        state_ = State::Stopped;
        notice("Stopped (Space plays again)");
      }
      break;
    default: break;
  }
}

void LiveLoop::togglePause() {
  switch (state_) {
    case State::Playing:
      transport_.setPaused(true);
      driver_.pause();
      state_ = State::Paused;
      notice("Paused");
      break;
    case State::Paused:
      transport_.setPaused(false);
      driver_.resume();
      state_ = State::Playing;
      notice(transport_.trackName());
      break;
    case State::Stopped:
      if (transport_.restart()) {
        driver_.start(&transport_.trackInfo(), &transport_.streamInfo());
        state_ = State::Playing;
        notice(transport_.trackName());
      }
      break;
  }
}

void LiveLoop::key(LiveKey k, bool repeat) {
  switch (k) {
    case LiveKey::Left:
    case LiveKey::Right:
      if (state_ != State::Stopped && transport_.seek(k == LiveKey::Left ? -kSeekStep : kSeekStep))
        notice(clockText(transport_.position()));
      break;
    case LiveKey::Up:
    case LiveKey::Down:
      if (repeat || state_ == State::Stopped) break;
      // Down goes to the next entry of the list, Up to the one before, as in a list on screen.
      if (transport_.skip(k == LiveKey::Down ? +1 : -1)) {
        driver_.changeTrack(&transport_.trackInfo(), &transport_.streamInfo());
        notice(transport_.trackName());
      }
      break;
    case LiveKey::Escape: quit_ = true; break;
    case LiveKey::FullscreenToggle:
      if (!repeat) screen_.setFullscreen(!screen_.fullscreen());
      break;
  }
}

// Every size change reaches the plug-in as 'swin' with a port over new pixels of the new
// size. The old pixels stay until the plug-in has taken the new port.
void LiveLoop::resize(int width, int height) {
  if (width < 1 || height < 1 || (frame_ && width == frame_->width() && height == frame_->height())) return;
  auto next = std::make_unique<FrameBuffer>(width, height);
  visual_.setWindow(next->port(), next->bounds());
  frame_ = std::move(next);
}

}  // namespace lumetra
