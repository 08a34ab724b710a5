// The live player's window: an SDL2 window with a GL context, its events sorted into what
// the loop acts on, and the picture shown through one texture updated in place each frame.
#include "live_p.h"

#include <SDL_opengl.h>

#include <chrono>
#include <cstring>

namespace lumetra {

SdlScreen::SdlScreen(const std::string& title, int width, int height, bool fullscreen, int minWidth, int minHeight,
                     bool captureMode)
    : fullscreen_(fullscreen) {
  // Without a display SDL falls back to drawing nowhere; a player that shows nothing would
  // only puzzle its user. Asked for by name (SDL_VIDEODRIVER), such a driver is used.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if (driver && (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy")) && !(asked && *asked))
    throw HostError("no display to open a window on; run lumetra on a desktop (or set DISPLAY)");
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // Fullscreen is borderless on the desktop's own mode: switching is instant and other
  // windows (the settings of the sound system, say) stay reachable.
  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI |
                       (fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  window_.reset(SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags));
  if (!window_) throw HostError(std::string("cannot open a window: ") + SDL_GetError() + "; run lumetra on a desktop (or set DISPLAY)");
  SDL_SetWindowMinimumSize(window_.get(), std::max(minWidth, 1), std::max(minHeight, 1));
  context_.reset(SDL_GL_CreateContext(window_.get()));
  if (!context_)
    throw HostError(std::string("cannot draw in the window (no OpenGL 3.0): ") + SDL_GetError() +
                    "; install the system's OpenGL drivers (Mesa)");
  // Waiting for the display's refresh keeps the scope from tearing; the loop paces itself
  // by the sound anyway, so a display without it changes nothing else.
  SDL_GL_SetSwapInterval(1);
  overlay_ = std::make_unique<Overlay>(window_.get(), context_.get(), captureMode);
  glGenTextures(1, &texture_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  reported_ = pixelSize();
  beeps_ = LumetraBeepCount();
}

SdlScreen::~SdlScreen() {
  if (texture_) glDeleteTextures(1, &texture_);
}

std::pair<int, int> SdlScreen::pixelSize() {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window_.get(), &w, &h);
  return {std::max(w, 1), std::max(h, 1)};
}

std::int64_t SdlScreen::now() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SdlScreen::waitUntil(std::int64_t micros) {
  // Wakes early for an event, so that keys are answered at once.
  const std::int64_t ms = (micros - now()) / 1000;
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
  glBindTexture(GL_TEXTURE_2D, texture_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // Each pixel is the word 0x00RRGGBB, in memory B, G, R, 0; the top byte is not alpha.
  if (frame.width() != textureWidth_ || frame.height() != textureHeight_) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, frame.width(), frame.height(), 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 frame.pixels().data());
    textureWidth_ = frame.width();
    textureHeight_ = frame.height();
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, frame.width(), frame.height(), GL_BGRA, GL_UNSIGNED_BYTE,
                    frame.pixels().data());
  }
  overlay_->draw(texture_, status);
  // The drawing is queued; the swap waits for it and, with the refresh synchronised, for the
  // display. glFinish first splits the two, so that only the wait counts as waiting.
  glFinish();
  const std::int64_t beforeSwap = now();
  SDL_GL_SwapWindow(window_.get());
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
