// `lumetra play` and `lumetra capture`: the bundle loaded, the window, the sound device and
// the live loop put together, and the list of capture devices.
#include "live_p.h"

#include <cstdio>

namespace lumetra {

namespace {

struct Session {
  PluginSet plugins;
  std::unique_ptr<VisualInstance> visual;
};

Session startVisual(const LiveOptions& options) {
  Session s;
  s.plugins = loadPlugins(options.plugins);
  auto created = VisualInstance::create(*s.plugins.bundle, *s.plugins.visual);
  if (!created) throw HostError(created.error().message);
  s.visual = std::move(*created);
  return s;
}

void checkSize(const LiveOptions& o) {
  if (o.width < 1 || o.height < 1 || o.width > 16384 || o.height > 16384)
    throw HostError("--size " + std::to_string(o.width) + "x" + std::to_string(o.height) +
                    " cannot be shown; give a width and height from 1 to 16384, like 1280x720");
  if (o.fps < 1 || o.fps > 1000)
    throw HostError("--fps " + std::to_string(o.fps) + " is out of range; give a whole number from 1 to 1000, like 60");
}

int runLive(const LiveOptions& options, LiveTransport& transport, Session& session, const std::string& title,
            bool captureMode) {
  const VisualRegistration& reg = session.plugins.visual->registration;
  SdlScreen screen(title, options.width, options.height, options.fullscreen, reg.minWindowWidth, reg.minWindowHeight,
                   captureMode);
  LiveLoopOptions loop;
  loop.fps = options.fps;
  loop.stats = options.stats;
  loop.captureMode = captureMode;
  LiveLoop(*session.visual, screen, transport, loop).run();
  // 'clr ' goes out while the window and the bundle are still there.
  session.visual.reset();
  return 0;
}

}  // namespace

int runPlay(const LiveOptions& options) {
  checkSize(options);
  Session session = startVisual(options);
  SdlSoundOutput out;
  PlaylistTransport playlist(options.files, out);
  const std::string title = "Lumetra: " + playlist.trackName();
  return runLive(options, playlist, session, title, false);
}

// Monitor sources (what an output plays) are listed as capture devices only when asked for,
// before the sound system starts.
void includeMonitors() { SDL_SetHint(SDL_HINT_AUDIO_INCLUDE_MONITORS, "1"); }

int runCapture(const LiveOptions& options) {
  checkSize(options);
  includeMonitors();
  SdlSubsystem audio(SDL_INIT_AUDIO);
  auto chosen = chooseCaptureDevice(captureDeviceNames(), defaultOutputName(), options.device);
  if (!chosen) throw HostError(chosen.error().message);
  Session session = startVisual(options);
  const auto in = openCaptureDevice(*chosen);
  const std::string name = chosen->empty() ? std::string("the default capture device") : *chosen;
  std::fprintf(stderr, "lumetra: listening to %s\n", name.c_str());
  CaptureTransport capture(*in, name);
  return runLive(options, capture, session, "Lumetra: " + name, true);
}

int listCaptureDevices() {
  includeMonitors();
  SdlSubsystem audio(SDL_INIT_AUDIO);
  const auto names = captureDeviceNames();
  auto chosen = chooseCaptureDevice(names, defaultOutputName(), std::string());
  std::printf("Capture devices (%s):\n", SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "no sound system");
  if (names.empty()) std::printf("  none listed; capture uses the system's default\n");
  for (const auto& n : names)
    std::printf("  %s %s\n", chosen && *chosen == n ? "*" : " ", n.c_str());
  if (chosen && !chosen->empty())
    std::printf("* is what lumetra capture listens to without --device.\n");
  else
    std::printf("Without --device, lumetra capture listens to the system's default capture device.\n");
  return 0;
}

}  // namespace lumetra
