// The live player's window: an SDL2 window with an SDL renderer, its events sorted into what
// the loop acts on, and the picture shown through one texture updated in place each frame.
#include "live_p.h"

#include <chrono>
#include <cstring>

namespace lumetra {

namespace {

// Whether the renderer draws with a GL that runs on the processor (Mesa's llvmpipe and
// softpipe, as under Xvfb or in a virtual machine without a GPU driver). Its context is
// current on this thread once the renderer exists.
bool drawsWithSoftwareGl(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer, &info) != 0 || !info.name || std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned);
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const auto* name = getString ? reinterpret_cast<const char*>(getString(0x1F01 /* GL_RENDERER */)) : nullptr;
  return name && (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") || std::strstr(name, "Software"));
}

}  // namespace

SdlScreen::SdlScreen(const std::string& title, int width, int height, bool fullscreen, int minWidth, int minHeight,
                     bool captureMode)
    : fullscreen_(fullscreen) {
  // Without a display SDL falls back to drawing nowhere; a player that shows nothing would
  // only puzzle its user. Asked for by name (SDL_VIDEODRIVER), such a driver is used.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if (driver && (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy")) && !(asked && *asked))
    throw HostError("no display to open a window on; run lumetra on a desktop (or set DISPLAY)");
  // Fullscreen is borderless on the desktop's own mode: switching is instant and other
  // windows (the settings of the sound system, say) stay reachable.
  const Uint32 flags =
      SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI | (fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  window_.reset(SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags));
  if (!window_) throw HostError(std::string("cannot open a window: ") + SDL_GetError() + "; run lumetra on a desktop (or set DISPLAY)");
  SDL_SetWindowMinimumSize(window_.get(), std::max(minWidth, 1), std::max(minHeight, 1));
  // SDL's first choice of renderer is the GPU's, with presents synchronised to the display's
  // refresh so that the scope does not tear (the loop paces itself by the sound anyway).
  // A GL that draws on the processor spends most of a frame uploading and drawing one
  // full-window texture; SDL's own software renderer copies the picture into the window's
  // shared-memory image instead, several times faster, and is used in its place (its window
  // image then goes to the display directly, not through GL again). A renderer asked for by
  // name (SDL_RENDER_DRIVER) is kept as it is.
  renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_PRESENTVSYNC));
  const char* askedRenderer = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  if (renderer_ && !(askedRenderer && *askedRenderer) && drawsWithSoftwareGl(renderer_.get())) {
    renderer_.reset();
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
  }
  if (!renderer_) throw HostError(std::string("cannot draw in the window: ") + SDL_GetError());
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer_.get(), &info) == 0 && info.name) rendererName_ = info.name;
  overlay_ = std::make_unique<Overlay>(window_.get(), renderer_.get(), captureMode);
  reported_ = pixelSize();
  beeps_ = LumetraBeepCount();
}

SdlScreen::~SdlScreen() = default;

std::pair<int, int> SdlScreen::pixelSize() {
  int w = 0, h = 0;
  SDL_GetRendererOutputSize(renderer_.get(), &w, &h);
  return {std::max(w, 1), std::max(h, 1)};
}

std::int64_t SdlScreen::now() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SdlScreen::waitUntil(std::int64_t micros) {
  // Wakes early for an event, so that keys are answered at once.
  // Rounded up: a wait of less than a millisecond is a millisecond, not a busy loop.
  const std::int64_t ms = (micros - now() + 999) / 1000;
  if (ms > 0) SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<std::int64_t>(ms, 1000)));
}

std::optional<LiveEvent> SdlScreen::poll() {
  SDL_Event e;
  while (events_.empty() && SDL_PollEvent(&e)) translate(e);
  if (events_.empty()) return std::nullopt;
  LiveEvent out = events_.front();
  events_.pop_front();
  return out;
}

void SdlScreen::translate(const SDL_Event& e) {
  const bool overlayTook = overlay_->processEvent(e);
  switch (e.type) {
    case SDL_QUIT: events_.push_back({LiveEvent::Kind::Quit}); break;
    case SDL_WINDOWEVENT: {
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED) events_.push_back({LiveEvent::Kind::Expose});
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) events_.push_back({LiveEvent::Kind::Quit});
      // A resize, a switch to or from fullscreen and a move to a display of another scale
      // all change the drawable's pixels; each reaches the loop as one Resize.
      const auto size = pixelSize();
      if (size != reported_) {
        reported_ = size;
        LiveEvent r{LiveEvent::Kind::Resize};
        r.width = size.first;
        r.height = size.second;
        events_.push_back(r);
      }
      break;
    }
    case SDL_KEYDOWN: {
      lastKeyRepeat_ = e.key.repeat != 0;
      LiveEvent k{LiveEvent::Kind::Key};
      k.repeat = lastKeyRepeat_;
      switch (e.key.keysym.sym) {
        case SDLK_LEFT: k.key = LiveKey::Left; break;
        case SDLK_RIGHT: k.key = LiveKey::Right; break;
        case SDLK_UP: k.key = LiveKey::Up; break;
        case SDLK_DOWN: k.key = LiveKey::Down; break;
        case SDLK_ESCAPE: k.key = LiveKey::Escape; break;
        case SDLK_F11: k.key = LiveKey::FullscreenToggle; break;
        default: return;
      }
      events_.push_back(k);
      break;
    }
    case SDL_TEXTINPUT:
      // The characters as typed, shift and layout applied; the key-down just before says
      // whether the key is repeating.
      for (const char* p = e.text.text; *p; ++p) {
        if (*p < 0x20 || *p > 0x7E) continue;
        LiveEvent c{LiveEvent::Kind::Character};
        c.character = *p;
        c.repeat = lastKeyRepeat_;
        events_.push_back(c);
      }
      break;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
      events_.push_back({LiveEvent::Kind::Pointer});
      break;
    case SDL_MOUSEBUTTONDOWN:
      events_.push_back({LiveEvent::Kind::Pointer});
      // A double click on the picture (not on a window drawn over it) toggles fullscreen.
      if (!overlayTook && e.button.button == SDL_BUTTON_LEFT && e.button.clicks == 2) {
        LiveEvent k{LiveEvent::Kind::Key};
        k.key = LiveKey::FullscreenToggle;
        events_.push_back(k);
      }
      break;
    default: break;
  }
}

void SdlScreen::present(const FrameBuffer& frame, const LiveStatus& status) {
  // Each pixel is the word 0x00RRGGBB, which is SDL's RGB888: the upload is a plain copy, and
  // so is the copy to a window image of the same format.
  if (frame.width() != textureWidth_ || frame.height() != textureHeight_) {
    texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, frame.width(),
                                     frame.height()));
    if (!texture_) throw HostError(std::string("cannot show a picture of this size: ") + SDL_GetError());
    SDL_SetTextureBlendMode(texture_.get(), SDL_BLENDMODE_NONE);
    textureWidth_ = frame.width();
    textureHeight_ = frame.height();
  }
  SDL_UpdateTexture(texture_.get(), nullptr, frame.pixels().data(), frame.width() * 4);
  // The picture covers the whole window, so nothing needs clearing first.
  SDL_RenderCopy(renderer_.get(), texture_.get(), nullptr, nullptr);
  overlay_->draw(status);
  // SDL queues the drawing until the present; flushing it first keeps the drawing (the copy
  // and the overlay, on the processor with the software renderer) in the frame time and
  // leaves only the hand-over to the display in the present's.
  SDL_RenderFlush(renderer_.get());
  const std::int64_t beforeSwap = now();
  SDL_RenderPresent(renderer_.get());
  swapWait_ = now() - beforeSwap;
  // SysBeep only records the request; the sound is made here.
  if (const long beeps = LumetraBeepCount(); beeps != beeps_) {
    beeps_ = beeps;
    beeper_.beep();
  }
}

void SdlScreen::setFullscreen(bool on) {
  if (SDL_SetWindowFullscreen(window_.get(), on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0) fullscreen_ = on;
}

}  // namespace lumetra
