// The sound devices of the live player through SDL2: the output that `play` feeds and whose
// position paces the pictures, the capture devices of `capture` (monitor sources of the
// outputs listed too), and the alert sound of SysBeep.
#include "live_p.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumetra {

namespace {

constexpr int kBufferPairs = 1024;  // per callback: 23 ms, small enough for the picture to follow

SDL_AudioSpec wantedSpec() {
  SDL_AudioSpec want{};
  want.freq = kSampleRate;
  want.format = AUDIO_S16SYS;
  want.channels = kChannels;
  want.samples = kBufferPairs;
  return want;
}

}  // namespace

SdlSubsystem::SdlSubsystem(Uint32 flags) : flags_(flags) {
  if (SDL_InitSubSystem(flags) != 0)
    throw HostError(std::string(flags & SDL_INIT_AUDIO ? "no sound: " : "no window: ") + SDL_GetError() +
                    (flags & SDL_INIT_AUDIO ? "; check the sound settings (or set SDL_AUDIODRIVER)"
                                            : "; run lumetra on a desktop (or set DISPLAY)"));
}

SdlSubsystem::~SdlSubsystem() { SDL_QuitSubSystem(flags_); }

// ---- Output ------------------------------------------------------------------------------

SdlSoundOutput::SdlSoundOutput() {
  capacity_ = kSampleRate;
  ring_.assign(capacity_ * kChannels, 0);
  SDL_AudioSpec want = wantedSpec(), have{};
  want.callback = &SdlSoundOutput::callback;
  want.userdata = this;
  // SDL converts from 44.1 kHz stereo to whatever the device wants.
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!id) throw HostError(std::string("no sound output: ") + SDL_GetError() + "; check the sound settings (or set SDL_AUDIODRIVER)");
  device_.reset(id);
  name_ = SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "";
}

SdlSoundOutput::~SdlSoundOutput() {
  // Closing waits for the callback to return, so the ring outlives every use of it.
  device_.reset();
}

void SdlSoundOutput::callback(void* userdata, Uint8* stream, int bytes) {
  auto& self = *static_cast<SdlSoundOutput*>(userdata);
  const std::size_t wanted = static_cast<std::size_t>(bytes) / (kChannels * sizeof(std::int16_t));
  const std::size_t real = std::min(wanted, self.fill_);
  auto* out = reinterpret_cast<std::int16_t*>(stream);
  for (std::size_t i = 0; i < real; ++i) {
    const std::size_t at = (self.head_ + i) % self.capacity_;
    out[2 * i] = self.ring_[2 * at];
    out[2 * i + 1] = self.ring_[2 * at + 1];
  }
  std::memset(out + 2 * real, 0, (wanted - real) * kChannels * sizeof(std::int16_t));
  self.head_ = (self.head_ + real) % self.capacity_;
  self.fill_ -= real;
  self.consumed_ += static_cast<std::int64_t>(real);
  self.lastReal_ = static_cast<std::int64_t>(real);
  self.lastCallback_ = SDL_GetPerformanceCounter();
}

void SdlSoundOutput::queue(std::span<const std::int16_t> samples) {
  std::size_t pairs = samples.size() / kChannels;
  SDL_LockAudioDevice(device_.id());
  // The transport queues only 150 ms ahead, far less than the ring; more is dropped.
  pairs = std::min(pairs, capacity_ - fill_);
  for (std::size_t i = 0; i < pairs; ++i) {
    const std::size_t at = (head_ + fill_ + i) % capacity_;
    ring_[2 * at] = samples[2 * i];
    ring_[2 * at + 1] = samples[2 * i + 1];
  }
  fill_ += pairs;
  queued_ += static_cast<std::int64_t>(pairs);
  SDL_UnlockAudioDevice(device_.id());
}

std::int64_t SdlSoundOutput::pending() {
  SDL_LockAudioDevice(device_.id());
  std::int64_t inFlight = 0;
  if (lastReal_ > 0 && !paused_) {
    const double since = static_cast<double>(SDL_GetPerformanceCounter() - lastCallback_) /
                         static_cast<double>(SDL_GetPerformanceFrequency());
    inFlight = std::max<std::int64_t>(0, lastReal_ - static_cast<std::int64_t>(since * kSampleRate));
  } else if (paused_) {
    inFlight = lastReal_;
  }
  const std::int64_t result = queued_ - consumed_ + inFlight;
  SDL_UnlockAudioDevice(device_.id());
  return result;
}

void SdlSoundOutput::setPaused(bool paused) {
  SDL_LockAudioDevice(device_.id());
  if (paused && !paused_) {
    // What the latest buffer had not played yet is heard again after the pause.
    const double since = static_cast<double>(SDL_GetPerformanceCounter() - lastCallback_) /
                         static_cast<double>(SDL_GetPerformanceFrequency());
    lastReal_ = std::max<std::int64_t>(0, lastReal_ - static_cast<std::int64_t>(since * kSampleRate));
  }
  // After a pause the rest of that buffer plays first, from now on.
  if (!paused && paused_) lastCallback_ = SDL_GetPerformanceCounter();
  paused_ = paused;
  SDL_UnlockAudioDevice(device_.id());
  SDL_PauseAudioDevice(device_.id(), paused ? 1 : 0);
}

void SdlSoundOutput::clear() {
  SDL_LockAudioDevice(device_.id());
  head_ = fill_ = 0;
  consumed_ = queued_;
  lastReal_ = 0;
  SDL_UnlockAudioDevice(device_.id());
}

// ---- Capture -----------------------------------------------------------------------------

std::vector<std::string> captureDeviceNames() {
  std::vector<std::string> names;
  const int n = SDL_GetNumAudioDevices(1);
  for (int i = 0; i < n; ++i)
    if (const char* name = SDL_GetAudioDeviceName(i, 1)) names.emplace_back(name);
  return names;
}

std::string defaultOutputName() {
  char* name = nullptr;
  SDL_AudioSpec deviceFormat{};
  if (SDL_GetDefaultAudioInfo(&name, &deviceFormat, 0) != 0 || !name) return {};
  std::string out = name;
  SDL_free(name);
  return out;
}

SdlSoundInput::SdlSoundInput(const std::string& name) {
  SDL_AudioSpec want = wantedSpec(), have{};
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), 1, &want, &have, 0);
  if (!id)
    throw HostError("cannot listen to " + (name.empty() ? std::string("the default capture device") : "\"" + name + "\"") +
                    ": " + SDL_GetError() + "; see lumetra capture --list-devices");
  device_.reset(id);
  SDL_PauseAudioDevice(id, 0);
}

SdlSoundInput::~SdlSoundInput() = default;

std::size_t SdlSoundInput::read(std::span<std::int16_t> out) {
  const Uint32 bytes = static_cast<Uint32>(out.size() / kChannels * kChannels * sizeof(std::int16_t));
  const Uint32 got = SDL_DequeueAudio(device_.id(), out.data(), bytes);
  return got / (kChannels * sizeof(std::int16_t));
}

void SdlSoundInput::setPaused(bool paused) {
  SDL_PauseAudioDevice(device_.id(), paused ? 1 : 0);
  // What came in while paused is not shown late after it.
  if (!paused) SDL_ClearQueuedAudio(device_.id());
}

std::unique_ptr<SoundInput> openCaptureDevice(const std::string& name) { return std::make_unique<SdlSoundInput>(name); }

// ---- The alert sound ---------------------------------------------------------------------

void Beeper::beep() {
  try {
    if (!audio_) audio_ = std::make_unique<SdlSubsystem>(SDL_INIT_AUDIO);
  } catch (const HostError&) {
    return;  // no sound at all: the alert stays silent
  }
  if (!device_.id()) {
    SDL_AudioSpec want = wantedSpec(), have{};
    want.samples = 512;
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!id) return;
    device_.reset(id);
    SDL_PauseAudioDevice(id, 0);
  }
  // 150 ms at 880 Hz, faded in and out over 5 ms so that it does not click.
  constexpr int kPairs = kSampleRate * 15 / 100, kFade = kSampleRate / 200;
  std::vector<std::int16_t> tone(kPairs * kChannels);
  for (int i = 0; i < kPairs; ++i) {
    const double envelope = std::min({1.0, static_cast<double>(i) / kFade, static_cast<double>(kPairs - i) / kFade});
    const auto s = static_cast<std::int16_t>(8000.0 * envelope * std::sin(2 * M_PI * 880.0 * i / kSampleRate));
    tone[2 * i] = tone[2 * i + 1] = s;
  }
  SDL_QueueAudio(device_.id(), tone.data(), static_cast<Uint32>(tone.size() * sizeof(std::int16_t)));
}

}  // namespace lumetra
