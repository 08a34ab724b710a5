// What the live player's SDL parts share among themselves: the owners of SDL's subsystems,
// devices, window and renderer, the sound devices, the window with its events, and the
// overlay that draws the toolkit's windows. Private to host/.
#ifndef LUMETRA_LIVE_P_H
#define LUMETRA_LIVE_P_H

#include "host.h"

#include <SDL.h>

struct ImDrawData;

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace lumetra {

// SDL_Init of one subsystem for the owner's life; throws HostError with SDL's reason.
class SdlSubsystem {
 public:
  explicit SdlSubsystem(Uint32 flags);
  ~SdlSubsystem();
  SdlSubsystem(const SdlSubsystem&) = delete;
  SdlSubsystem& operator=(const SdlSubsystem&) = delete;

 private:
  Uint32 flags_;
};

// An open audio device, closed with its owner.
class AudioDevice {
 public:
  AudioDevice() = default;
  explicit AudioDevice(SDL_AudioDeviceID id) : id_(id) {}
  ~AudioDevice() { reset(); }
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;
  void reset(SDL_AudioDeviceID id = 0) {
    if (id_) SDL_CloseAudioDevice(id_);
    id_ = id;
  }
  SDL_AudioDeviceID id() const { return id_; }

 private:
  SDL_AudioDeviceID id_ = 0;
};

// The sound card's output, fed from a ring of one second that SDL's callback drains. The
// heard position is what the callback handed the device, less what of its latest buffer has
// not been played by now (at the device's rate since that callback): smooth between the
// callbacks, and never counting silence played in an underrun.
class SdlSoundOutput final : public SoundOutput {
 public:
  // Opens the default output device; throws HostError when there is none.
  SdlSoundOutput();
  ~SdlSoundOutput() override;
  void queue(std::span<const std::int16_t> samples) override;
  std::int64_t pending() override;
  void setPaused(bool paused) override;
  void clear() override;
  std::string deviceName() const { return name_; }

 private:
  static void callback(void* self, Uint8* stream, int bytes);
  SdlSubsystem audio_{SDL_INIT_AUDIO};
  AudioDevice device_;
  std::string name_;
  std::vector<std::int16_t> ring_;   // 2 x capacity samples
  std::size_t capacity_ = 0;         // pairs
  std::size_t head_ = 0, fill_ = 0;  // pairs; guarded by the device lock
  std::int64_t queued_ = 0, consumed_ = 0, lastReal_ = 0;
  Uint64 lastCallback_ = 0;
  bool paused_ = true;
};

// A capture device in SDL's queue mode; read() takes what has been captured.
class SdlSoundInput final : public SoundInput {
 public:
  // name empty: the system's default capture device. Throws HostError when it cannot open.
  explicit SdlSoundInput(const std::string& name);
  ~SdlSoundInput() override;
  std::size_t read(std::span<std::int16_t> out) override;
  void setPaused(bool paused) override;

 private:
  SdlSubsystem audio_{SDL_INIT_AUDIO};
  AudioDevice device_;
};

// The capture devices SDL lists, monitor sources of the outputs included, and the name of
// the default output (empty when the system does not say).
std::vector<std::string> captureDeviceNames();
std::string defaultOutputName();

// The alert sound: a short tone on a device of its own, opened at the first beep.
class Beeper {
 public:
  void beep();

 private:
  std::unique_ptr<SdlSubsystem> audio_;
  AudioDevice device_;
};

// Draws the toolkit's visible windows and the player's notices with Dear ImGui through the
// window's renderer, over what is drawn already. Clicks on a window's controls are collected
// while drawing and delivered to the platform afterwards, one control hit each.
class Overlay {
 public:
  // Throws HostError when ImGui cannot be set up on the renderer.
  Overlay(SDL_Window* window, SDL_Renderer* renderer, bool captureMode);
  ~Overlay();
  Overlay(const Overlay&) = delete;
  Overlay& operator=(const Overlay&) = delete;
  // Answers whether the overlay took the event (a click or drag on one of its windows).
  bool processEvent(const SDL_Event& event);
  // Draws one frame's overlays; the caller presents.
  void draw(const LiveStatus& status);

 private:
  void render(const ImDrawData* data);
  void drawToolkitWindows();
  void drawHelp();
  SDL_Window* window_;
  SDL_Renderer* renderer_;
  SDL_Texture* font_ = nullptr;
  bool captureMode_;
  std::vector<void*> clicks_;      // ControlRefs hit this frame
  bool trace_ = false;             // LUMETRA_TRACE_OVERLAY: print where controls are drawn
  std::vector<std::string> traced_;
};

// The SDL window with a renderer (the GPU's, or SDL's software renderer where GL would draw
// on the processor): the picture is a texture of the frame's size, updated in place from the
// window port's pixels each frame (made again only when the size changes).
class SdlScreen final : public LiveScreen {
 public:
  // Throws HostError when no window or renderer can be had.
  SdlScreen(const std::string& title, int width, int height, bool fullscreen, int minWidth, int minHeight,
            bool captureMode);
  ~SdlScreen() override;
  std::pair<int, int> pixelSize() override;
  std::optional<LiveEvent> poll() override;
  std::int64_t now() override;
  void waitUntil(std::int64_t micros) override;
  void present(const FrameBuffer& frame, const LiveStatus& status) override;
  void setFullscreen(bool on) override;
  bool fullscreen() const override { return fullscreen_; }
  std::int64_t presentWait() const override { return swapWait_; }
  std::string drawer() const override { return rendererName_; }

 private:
  void translate(const SDL_Event& e);
  struct WindowDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
  };
  struct RendererDeleter {
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
  };
  struct TextureDeleter {
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
  };
  // Declared in the order they are made; destroyed the other way round.
  SdlSubsystem video_{SDL_INIT_VIDEO};
  std::unique_ptr<SDL_Window, WindowDeleter> window_;
  std::unique_ptr<SDL_Renderer, RendererDeleter> renderer_;
  std::unique_ptr<Overlay> overlay_;
  std::unique_ptr<SDL_Texture, TextureDeleter> texture_;
  std::string rendererName_;
  int textureWidth_ = 0, textureHeight_ = 0;
  std::deque<LiveEvent> events_;
  std::pair<int, int> reported_{0, 0};
  bool lastKeyRepeat_ = false;
  bool fullscreen_ = false;
  std::int64_t swapWait_ = 0;
  long beeps_ = 0;
  Beeper beeper_;
};

}  // namespace lumetra

#endif
