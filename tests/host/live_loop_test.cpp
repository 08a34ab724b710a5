// The live loop against the real bundle, without a window: a scripted screen supplies the
// events and the clock, a sound device plays by that clock, and a wrapper around the
// plug-in's handler records every message. Checked: the order of codes of a whole session,
// frames at the frame clock (each once, in order, across a pause), the keys going to the
// plug-in first, seeking and fullscreen.
#include "host.h"
#include "hosttest.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>

using namespace lumetra;

namespace {

// ---- The recording wrapper ---------------------------------------------------------------

struct Message {
  std::string code;
  OSStatus status = 0;
  UInt32 timeStamp = 0;  // 'vrnd'
  Rect rect{};           // 'show', 'swin'
  UInt16 what = 0;       // 'vevt'
  char character = 0;    // 'vevt'
};

VisualPluginProcPtr gRealHandler = nullptr;
std::vector<Message>* gLog = nullptr;

OSStatus recordingHandler(OSType message, VisualMessageBlock* block, void* refCon) {
  Message m;
  m.code = hosttest::fourcc(message);
  if (block && message == kVisualPluginRenderMessage) m.timeStamp = block->u.renderMessage.timeStampID;
  if (block && (message == kVisualPluginShowWindowMessage || message == kVisualPluginSetWindowMessage))
    m.rect = block->u.showWindowMessage.drawRect;
  if (block && message == kVisualPluginEventMessage && block->u.eventMessage.event) {
    m.what = block->u.eventMessage.event->what;
    m.character = static_cast<char>(block->u.eventMessage.event->message & charCodeMask);
  }
  m.status = gRealHandler(message, block, refCon);
  if (gLog) gLog->push_back(m);
  return m.status;
}

// ---- The scripted screen and a sound device that plays by its clock ----------------------

constexpr std::int64_t kMs = 1000;

LiveEvent character(char c, bool repeat = false) {
  LiveEvent e{LiveEvent::Kind::Character};
  e.character = c;
  e.repeat = repeat;
  return e;
}
LiveEvent key(LiveKey k, bool repeat = false) {
  LiveEvent e{LiveEvent::Kind::Key};
  e.key = k;
  e.repeat = repeat;
  return e;
}
LiveEvent resize(int w, int h) {
  LiveEvent e{LiveEvent::Kind::Resize};
  e.width = w;
  e.height = h;
  return e;
}

class ScriptedScreen final : public LiveScreen {
 public:
  struct Step {
    std::int64_t at;  // microseconds
    LiveEvent event;
  };
  ScriptedScreen(int w, int h, std::vector<Step> script) : size_{w, h}, windowed_{w, h}, script_(std::move(script)) {}

  std::pair<int, int> pixelSize() override { return size_; }
  std::optional<LiveEvent> poll() override {
    if (!injected_.empty()) {
      const LiveEvent e = injected_.front();
      injected_.erase(injected_.begin());
      return e;
    }
    if (next_ < script_.size() && script_[next_].at <= now_) return script_[next_++].event;
    return std::nullopt;
  }
  std::int64_t now() override { return now_; }
  // Time jumps to the wake-up, or to the next scripted event if that comes first.
  void waitUntil(std::int64_t t) override {
    const std::int64_t limit = next_ < script_.size() ? script_[next_].at : LLONG_MAX;
    now_ = std::max(now_, std::min(t, limit));
    if (++waits_ > 200000) throw std::runtime_error("the loop does not end");
  }
  void present(const FrameBuffer& frame, const LiveStatus& status) override {
    ++presents;
    helpShown.push_back(status.help);
    lastSize = {frame.width(), frame.height()};
  }
  // As a window system does: a switch to fullscreen comes back as a resize.
  void setFullscreen(bool on) override {
    fullscreen_ = on;
    size_ = on ? std::pair{1920, 1080} : windowed_;
    injected_.push_back(resize(size_.first, size_.second));
  }
  bool fullscreen() const override { return fullscreen_; }

  int presents = 0;
  std::vector<bool> helpShown;
  std::pair<int, int> lastSize{0, 0};

 private:
  std::pair<int, int> size_, windowed_;
  std::vector<Step> script_;
  std::vector<LiveEvent> injected_;
  std::size_t next_ = 0;
  std::int64_t now_ = 0;
  long waits_ = 0;
  bool fullscreen_ = false;
};

// Hears 44100 pairs a second of the screen's clock while not paused, never more than queued.
class ClockedSound final : public SoundOutput {
 public:
  explicit ClockedSound(LiveScreen& clock) : clock_(clock) {}
  void queue(std::span<const std::int16_t> samples) override {
    advance();
    queued_ += static_cast<std::int64_t>(samples.size() / kChannels);
    if (record) played.insert(played.end(), samples.begin(), samples.end());
  }
  std::int64_t pending() override {
    advance();
    return queued_ - heard_;
  }
  void setPaused(bool paused) override {
    advance();
    paused_ = paused;
  }
  void clear() override {
    advance();
    queued_ = heard_;
  }
  bool record = false;
  std::vector<std::int16_t> played;  // everything queued, when recording

 private:
  void advance() {
    const std::int64_t now = clock_.now();
    if (!paused_) {
      carry_ += (now - mark_) * kSampleRate;
      heard_ = std::min(queued_, heard_ + carry_ / 1'000'000);
      carry_ %= 1'000'000;
    }
    mark_ = now;
  }
  LiveScreen& clock_;
  std::int64_t queued_ = 0, heard_ = 0, mark_ = 0, carry_ = 0;
  bool paused_ = true;
};

// Pair i of a quiet Lissajous figure; a file made from `first` on starts with pair `first`.
std::int16_t figure(std::int64_t i, int channel) {
  return static_cast<std::int16_t>(9000 * (channel ? std::cos(i * 0.047) : std::sin(i * 0.031)));
}

// A 16-bit stereo WAV of `pairs` pairs of the figure from pair `first` on.
void writeWav(const std::filesystem::path& file, std::int64_t pairs, std::int64_t first = 0) {
  hosttest::writeWav(file, pairs, [first](std::int64_t i, int channel) { return figure(first + i, channel); });
}

// Runs one session of the loop over the real bundle; answers every message it sent.
struct Session {
  std::vector<Message> log;
  ScriptedScreen screen;
  Session(int w, int h, std::vector<ScriptedScreen::Step> script) : screen(w, h, std::move(script)) {}

  std::vector<std::int16_t> played;

  void run(std::vector<std::string> files, LiveLoopOptions options = {}) {
    auto loaded = LoadedBundle::load(LUMETRA_BUNDLE_DIR);
    ASSERT_TRUE(loaded) << loaded.error().message;
    Visual recorded = (*loaded)->visuals().front();
    gRealHandler = recorded.registration.handlerProc;
    recorded.registration.handlerProc = &recordingHandler;
    gLog = &log;
    {
      auto visual = VisualInstance::create(**loaded, recorded);
      ASSERT_TRUE(visual) << visual.error().message;
      ClockedSound sound(screen);
      sound.record = true;
      PlaylistTransport playlist(std::move(files), sound);
      LiveLoop(**visual, screen, playlist, options).run();
      played = std::move(sound.played);
    }
    gLog = nullptr;
  }

  // The codes in order, runs of one code written once.
  std::vector<std::string> collapsed() const {
    std::vector<std::string> out;
    for (const auto& m : log)
      if (out.empty() || out.back() != m.code) out.push_back(m.code);
    return out;
  }
  std::vector<const Message*> all(const std::string& c) const {
    std::vector<const Message*> out;
    for (const auto& m : log)
      if (m.code == c) out.push_back(&m);
    return out;
  }
  // Index in log of the n-th message with code c (from 0), or -1.
  long indexOf(const std::string& c, int n = 0) const {
    for (std::size_t i = 0; i < log.size(); ++i)
      if (log[i].code == c && n-- == 0) return static_cast<long>(i);
    return -1;
  }
};

const FrameClock kClock(kSampleRate, 60);

TEST(LiveLoop, WholeSessionInOrder) {
  hosttest::ScratchDir dir;
  writeWav(dir / "one.wav", kSampleRate / 2);
  writeWav(dir / "two.wav", kSampleRate / 2);
  Session s(640, 360,
            {
                {100 * kMs, character(' ')},           // pause
                {300 * kMs, character(' ')},           // resume
                {350 * kMs, key(LiveKey::Down)},       // next track
                {400 * kMs, resize(320, 200)},
                {450 * kMs, LiveEvent{LiveEvent::Kind::Expose}},
                {1500 * kMs, character('q')},          // the second track ended at about 850 ms
            });
  s.run({(dir / "one.wav").string(), (dir / "two.wav").string()});

  const std::vector<std::string> expected = {"init", "show", "vply", "vrnd", "vevt", "vpau", "null", "vevt", "vunp",
                                             "vrnd", "ctrk", "vrnd", "swin", "vrnd", "vupd", "vrnd", "vstp", "null",
                                             "vevt", "hide", "clr "};
  EXPECT_EQ(s.collapsed(), expected);
  for (const auto& m : s.log) {
    if (m.code != "vevt") {
      EXPECT_EQ(m.status, noErr) << m.code;
    }
  }

  const auto show = s.all("show");
  ASSERT_EQ(show.size(), 1u);
  EXPECT_EQ(show[0]->rect.right, 640);
  EXPECT_EQ(show[0]->rect.bottom, 360);
  const auto swin = s.all("swin");
  ASSERT_EQ(swin.size(), 1u);
  EXPECT_EQ(swin[0]->rect.right, 320);
  EXPECT_EQ(swin[0]->rect.bottom, 200);

  // The first track: frame n at sample floor(n x 44100 / 60), each frame once, in order, and
  // the pause holds the sound's place: the frames after it go on from the one before it.
  std::vector<UInt32> first;
  const long ctrk = s.indexOf("ctrk");
  ASSERT_GT(ctrk, 0);
  for (long i = 0; i < ctrk; ++i)
    if (s.log[i].code == "vrnd") first.push_back(s.log[i].timeStamp);
  // 100 ms of playing before the pause and 50 after it: frames 0 to 5 (frame 6 is due at the
  // instant of the pause, and events come first), then 6 to 8.
  ASSERT_EQ(first.size(), 9u);
  for (std::size_t n = 0; n < first.size(); ++n) ASSERT_EQ(first[n], kClock.milliseconds(kClock.sampleAt(n))) << "frame " << n;

  // The second track starts at its own beginning, and plays out to its end.
  std::vector<UInt32> second;
  for (std::size_t i = static_cast<std::size_t>(ctrk); i < s.log.size(); ++i)
    if (s.log[i].code == "vrnd") second.push_back(s.log[i].timeStamp);
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(second.front(), 0u);
  for (std::size_t n = 0; n < second.size(); ++n) ASSERT_EQ(second[n], kClock.milliseconds(kClock.sampleAt(n))) << "frame " << n;
  EXPECT_EQ(second.size(), static_cast<std::size_t>(kClock.framesIn(kSampleRate / 2)));

  // 'null' about 30 times a second while paused (200 ms) and stopped (about 650 ms).
  const long vunp = s.indexOf("vunp"), vstp = s.indexOf("vstp"), hide = s.indexOf("hide");
  long pausedNulls = 0, stoppedNulls = 0;
  for (long i = 0; i < static_cast<long>(s.log.size()); ++i) {
    if (s.log[i].code != "null") continue;
    (i < vunp ? pausedNulls : stoppedNulls)++;
  }
  EXPECT_GE(pausedNulls, 5);
  EXPECT_LE(pausedNulls, 8);
  EXPECT_GE(stoppedNulls, 17);
  EXPECT_LE(stoppedNulls, 22);
  EXPECT_LT(vstp, hide);
}

TEST(LiveLoop, TracksFollowWithoutAGap) {
  hosttest::ScratchDir dir;
  // Two parts of one figure: heard one after the other, they must be the figure unbroken.
  writeWav(dir / "one.wav", kSampleRate / 4);
  writeWav(dir / "two.wav", kSampleRate / 2, kSampleRate / 4);
  Session s(320, 240, {{1200 * kMs, character('q')}});
  s.run({(dir / "one.wav").string(), (dir / "two.wav").string()});

  const std::vector<std::string> expected = {"init", "show", "vply", "vrnd", "ctrk", "vrnd", "vstp", "null", "vevt", "hide", "clr "};
  EXPECT_EQ(s.collapsed(), expected);
  const std::int64_t total = kSampleRate * 3 / 4;
  ASSERT_EQ(s.played.size(), static_cast<std::size_t>(total * kChannels));
  for (std::int64_t i = 0; i < total; ++i) {
    ASSERT_EQ(s.played[2 * i], figure(i, 0)) << "pair " << i;
    ASSERT_EQ(s.played[2 * i + 1], figure(i, 1)) << "pair " << i;
  }
  // The track changes as its first sample is heard: the first track's 15 frames (those
  // before sample 11025), then the second's from its frame 0.
  const long ctrk = s.indexOf("ctrk");
  long before = 0;
  for (long i = 0; i < ctrk; ++i) before += s.log[i].code == "vrnd";
  EXPECT_EQ(before, kClock.framesIn(kSampleRate / 4));
  ASSERT_EQ(s.log[ctrk + 1].code, "vrnd");
  EXPECT_EQ(s.log[ctrk + 1].timeStamp, 0u);
}

TEST(LiveLoop, CharactersGoToThePluginFirst) {
  struct Row {
    const char* name;
    LiveEvent event;
    UInt16 what;         // the event kind the plug-in gets
    OSStatus answer;     // what it answers
    const char* follows; // the message the player sends after it, "" for none
  };
  const Row rows[] = {
      {"flash toggle is the plug-in's", character('f'), keyDown, noErr, ""},
      {"held colour key repeats as auto-key", character('C', true), autoKey, noErr, ""},
      {"comma falls through to the settings", character(','), keyDown, unimpErr, "cnfg"},
      {"space falls through to pause", character(' '), keyDown, unimpErr, "vpau"},
      {"held space does not pause again", character(' ', true), autoKey, unimpErr, ""},
      {"space again resumes", character(' '), keyDown, unimpErr, "vunp"},
      {"h falls through to the help", character('h'), keyDown, unimpErr, ""},
  };
  std::vector<ScriptedScreen::Step> script;
  std::int64_t t = 50 * kMs;
  for (const Row& r : rows) script.push_back({t += 50 * kMs, r.event});
  script.push_back({t += 50 * kMs, character('Q')});
  Session s(640, 360, script);
  s.run({});

  std::size_t row = 0;
  for (std::size_t i = 0; i < s.log.size() && row < std::size(rows); ++i) {
    if (s.log[i].code != "vevt") continue;
    const Row& r = rows[row++];
    SCOPED_TRACE(r.name);
    EXPECT_EQ(s.log[i].what, r.what);
    EXPECT_EQ(s.log[i].character, r.event.character);
    EXPECT_EQ(s.log[i].status, r.answer);
    std::string next;
    for (std::size_t j = i + 1; j < s.log.size(); ++j)
      if (s.log[j].code != "vrnd" && s.log[j].code != "null") {
        next = s.log[j].code;
        break;
      }
    if (*r.follows) {
      EXPECT_EQ(next, r.follows);
    } else {
      EXPECT_EQ(next, "vevt") << "the player acted on it";
    }
  }
  EXPECT_EQ(row, std::size(rows));
  // The help is drawn after 'h' and not before.
  ASSERT_FALSE(s.screen.helpShown.empty());
  EXPECT_FALSE(s.screen.helpShown.front());
  EXPECT_TRUE(s.screen.helpShown.back());
  // 'Q' quits: the plug-in saw it first, then the window went.
  const auto codes = s.collapsed();
  ASSERT_GE(codes.size(), 3u);
  EXPECT_EQ(codes[codes.size() - 3], "vstp");
  EXPECT_EQ(codes[codes.size() - 2], "hide");
  EXPECT_EQ(codes.back(), "clr ");
}

TEST(LiveLoop, ArrowsSeekInsideTheTrack) {
  Session s(640, 360,
            {
                {200 * kMs, key(LiveKey::Right)},  // heard 0:00.2, on to 0:05.2
                {400 * kMs, key(LiveKey::Left)},   // heard 0:05.4, back to 0:00.4
                {500 * kMs, key(LiveKey::Up)},     // the first track: back to its start, no 'ctrk'
                {600 * kMs, key(LiveKey::Escape)},
            });
  s.run({});
  const auto frames = s.all("vrnd");
  const auto firstAfter = [&](std::int64_t ms) -> long {
    // Frames come about 16.7 ms apart; the one that follows a key is the first whose stamp
    // breaks the run.
    for (std::size_t i = 1; i < frames.size(); ++i) {
      const long step = static_cast<long>(frames[i]->timeStamp) - static_cast<long>(frames[i - 1]->timeStamp);
      if (step > 100 || step < 0) {
        if (ms-- == 0) return static_cast<long>(frames[i]->timeStamp);
      }
    }
    return -1;
  };
  const long forward = firstAfter(0), back = firstAfter(1), start = firstAfter(2);
  EXPECT_NEAR(forward, 5200, 20);
  EXPECT_NEAR(back, 400, 20);
  EXPECT_NEAR(start, 0, 20);
  EXPECT_EQ(s.indexOf("ctrk"), -1);
}

TEST(LiveLoop, FullscreenToggleReachesThePluginAsSwin) {
  Session s(640, 360,
            {
                {100 * kMs, key(LiveKey::FullscreenToggle)},
                {200 * kMs, key(LiveKey::FullscreenToggle)},
                {300 * kMs, resize(640, 360)},  // the same size again: nothing to tell
                {400 * kMs, character('q')},
            });
  s.run({});
  const auto swin = s.all("swin");
  ASSERT_EQ(swin.size(), 2u);
  EXPECT_EQ(swin[0]->rect.right, 1920);
  EXPECT_EQ(swin[0]->rect.bottom, 1080);
  EXPECT_EQ(swin[1]->rect.right, 640);
  EXPECT_EQ(swin[1]->rect.bottom, 360);
  EXPECT_EQ(s.screen.lastSize, (std::pair{640, 360}));
}

TEST(LiveLoop, TrackAndStreamRecords) {
  TrackInfoBlock track;
  fillTrackInfo(track, "Song", "/music/Song.flac", kSampleRate * 3 / 2, 2, 5);
  EXPECT_STREQ(reinterpret_cast<const char*>(track.bytes), "Song");
  EXPECT_STREQ(reinterpret_cast<const char*>(track.bytes + 256), "/music/Song.flac");
  std::uint32_t words[3];
  std::memcpy(words, track.bytes + 2048, sizeof words);
  EXPECT_EQ(words[0], 1500u);
  EXPECT_EQ(words[1], 2u);
  EXPECT_EQ(words[2], 5u);
  // A name longer than its room is cut and still ends in NUL.
  fillTrackInfo(track, std::string(400, 'x'), "", std::nullopt, 1, 1);
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(track.bytes)), 255u);
  StreamInfoBlock stream;
  fillStreamInfo(stream, "44100 Hz stereo");
  std::memcpy(words, stream.bytes + 256, 8);
  EXPECT_EQ(words[0], 44100u);
  EXPECT_EQ(words[1], 2u);
}

TEST(LiveLoop, AListWithNothingPlayableIsAnError) {
  hosttest::ScratchDir dir;
  std::ofstream(dir / "broken.mp3") << "not sound";
  ScriptedScreen screen(64, 64, {});
  ClockedSound sound(screen);
  try {
    PlaylistTransport playlist({(dir / "missing.flac").string(), (dir / "broken.mp3").string()}, sound);
    FAIL() << "no error";
  } catch (const HostError& e) {
    EXPECT_NE(std::string(e.what()).find("none of the files"), std::string::npos) << e.what();
  }
}

TEST(CaptureDevice, TheMonitorOfTheDefaultOutputIsChosen) {
  struct Row {
    const char* name;
    std::vector<std::string> devices;
    std::string defaultOutput, requested;
    std::string chosen;  // "!" for an error
  };
  const std::vector<std::string> desk = {"Built-in Audio Analog Stereo", "Monitor of HDMI Output",
                                         "Monitor of Built-in Audio Analog Stereo", "USB Microphone"};
  const Row rows[] = {
      {"monitor of the default output", desk, "Built-in Audio Analog Stereo", "", "Monitor of Built-in Audio Analog Stereo"},
      {"default output without a monitor: the first monitor", desk, "Headphones", "", "Monitor of HDMI Output"},
      {"no default known: the first monitor", desk, "", "", "Monitor of HDMI Output"},
      {"no monitors: the system's default", {"USB Microphone"}, "Speakers", "", ""},
      {"nothing listed: the system's default", {}, "", "", ""},
      {"an exact name", desk, "", "USB Microphone", "USB Microphone"},
      {"a part of one name, any case", desk, "", "usb", "USB Microphone"},
      {"a part of several names", desk, "", "Monitor", "!"},
      {"no such device", desk, "", "Bluetooth", "!"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    auto chosen = chooseCaptureDevice(r.devices, r.defaultOutput, r.requested);
    if (r.chosen == "!") {
      ASSERT_FALSE(chosen);
      EXPECT_NE(chosen.error().message.find("--list-devices"), std::string::npos) << chosen.error().message;
    } else {
      ASSERT_TRUE(chosen) << chosen.error().message;
      EXPECT_EQ(*chosen, r.chosen);
    }
  }
}

}  // namespace
