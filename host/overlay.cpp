// What the live player draws with Dear ImGui over the picture: the toolkit's visible windows
// (the plug-in's settings window) with their controls, the list of shortcuts and the player's
// notices. The toolkit keeps the windows and their controls; this draws them as they are each
// frame and sends every click back through the platform, so the plug-in's own handler decides
// what a click does. ImGui's triangles go to the window's SDL renderer, whichever it is (a
// GPU's, or SDL's own software renderer).
#include "live_p.h"

#include <imgui.h>
#include <backends/imgui_impl_sdl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace lumetra {

Overlay::Overlay(SDL_Window* window, SDL_Renderer* renderer, bool captureMode)
    : window_(window), renderer_(renderer), captureMode_(captureMode) {
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  // Nothing is saved between runs: no imgui.ini, no log file.
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  io.BackendRendererName = "lumetra_sdl_renderer";
  // Indices are 16 bits; a long draw list goes on at a vertex offset, which render() honours.
  io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
  ImGui::StyleColorsDark();
  ImGui::GetStyle().WindowRounding = 4.0f;
  if (!ImGui_ImplSDL2_InitForSDLRenderer(window)) {
    ImGui::DestroyContext();
    throw HostError("cannot take the window's input for the settings window");
  }
  // The font atlas: ImGui's glyphs as an RGBA texture, blended over the picture.
  unsigned char* pixels = nullptr;
  int width = 0, height = 0;
  io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
  font_ = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC, width, height);
  if (!font_ || SDL_UpdateTexture(font_, nullptr, pixels, width * 4) != 0) {
    if (font_) SDL_DestroyTexture(font_);
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    throw HostError(std::string("cannot make the settings window's font: ") + SDL_GetError());
  }
  SDL_SetTextureBlendMode(font_, SDL_BLENDMODE_BLEND);
  io.Fonts->SetTexID(static_cast<ImTextureID>(font_));
  const char* trace = std::getenv("LUMETRA_TRACE_OVERLAY");
  trace_ = trace && *trace && *trace != '0';
}

Overlay::~Overlay() {
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  SDL_DestroyTexture(font_);
}

bool Overlay::processEvent(const SDL_Event& event) {
  ImGui_ImplSDL2_ProcessEvent(&event);
  const bool mouse = event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP ||
                     event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEWHEEL;
  return mouse && ImGui::GetIO().WantCaptureMouse;
}

void Overlay::draw(const LiveStatus& status) {
  ImGui_ImplSDL2_NewFrame();
  ImGuiIO& io = ImGui::GetIO();
  // ImGui works in the window's units; the renderer's output may have more pixels (a HiDPI
  // display), and the triangles are scaled to them.
  int windowW = 0, windowH = 0, pixelsW = 0, pixelsH = 0;
  SDL_GetWindowSize(window_, &windowW, &windowH);
  SDL_GetRendererOutputSize(renderer_, &pixelsW, &pixelsH);
  if (windowW > 0 && windowH > 0) {
    io.DisplaySize = ImVec2(static_cast<float>(windowW), static_cast<float>(windowH));
    io.DisplayFramebufferScale = ImVec2(static_cast<float>(pixelsW) / windowW, static_cast<float>(pixelsH) / windowH);
  }
  ImGui::NewFrame();
  drawToolkitWindows();
  if (status.help) drawHelp();
  ImDrawList* front = ImGui::GetForegroundDrawList();
  if (!status.notice.empty()) {
    const ImVec2 at(12, io.DisplaySize.y - ImGui::GetTextLineHeight() - 12);
    front->AddText(ImVec2(at.x + 1, at.y + 1), IM_COL32(0, 0, 0, 255), status.notice.c_str());
    front->AddText(at, IM_COL32(235, 235, 235, 255), status.notice.c_str());
  }
  if (!status.stats.empty()) {
    front->AddText(ImVec2(13, 13), IM_COL32(0, 0, 0, 255), status.stats.c_str());
    front->AddText(ImVec2(12, 12), IM_COL32(255, 255, 120, 255), status.stats.c_str());
  }
  ImGui::Render();
  render(ImGui::GetDrawData());

  // The hits go out after the frame: a handler may hide the window being drawn.
  for (void* control : clicks_) LumetraClickControl(static_cast<ControlRef>(control));
  clicks_.clear();
}

// ImGui's draw lists as SDL geometry: each command is a run of indexed triangles with one
// texture (the font atlas) and one clip rectangle, both in the window's units, which the
// renderer's scale turns into pixels.
void Overlay::render(const ImDrawData* data) {
  if (!data || data->CmdListsCount == 0) return;
  const ImVec2 scale = data->FramebufferScale;
  SDL_RenderSetScale(renderer_, scale.x, scale.y);
  const ImVec2 origin = data->DisplayPos;
  for (int n = 0; n < data->CmdListsCount; ++n) {
    const ImDrawList* list = data->CmdLists[n];
    const ImDrawVert* vertices = list->VtxBuffer.Data;
    const ImDrawIdx* indices = list->IdxBuffer.Data;
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
      if (cmd.UserCallback) {
        if (cmd.UserCallback != ImDrawCallback_ResetRenderState) cmd.UserCallback(list, &cmd);
        continue;
      }
      const float left = std::max(cmd.ClipRect.x - origin.x, 0.0f), top = std::max(cmd.ClipRect.y - origin.y, 0.0f);
      const float right = cmd.ClipRect.z - origin.x, bottom = cmd.ClipRect.w - origin.y;
      if (right <= left || bottom <= top) continue;
      const SDL_Rect clip{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                          static_cast<int>(bottom - top)};
      SDL_RenderSetClipRect(renderer_, &clip);
      const ImDrawVert* first = vertices + cmd.VtxOffset;
      SDL_RenderGeometryRaw(renderer_, static_cast<SDL_Texture*>(cmd.GetTexID()), &first->pos.x, sizeof(ImDrawVert),
                            reinterpret_cast<const SDL_Color*>(&first->col), sizeof(ImDrawVert), &first->uv.x,
                            sizeof(ImDrawVert), list->VtxBuffer.Size - static_cast<int>(cmd.VtxOffset),
                            indices + cmd.IdxOffset, static_cast<int>(cmd.ElemCount), sizeof(ImDrawIdx));
    }
  }
  SDL_RenderSetClipRect(renderer_, nullptr);
  SDL_RenderSetScale(renderer_, 1.0f, 1.0f);
}

// Each visible window at its own size, first placed in the middle of the picture and then
// where the user drags it; its controls at their frames, in the window's coordinates below
// the title bar. The window has no close box of its own: closing is the plug-in's business,
// through the control it made for that.
void Overlay::drawToolkitWindows() {
  const ItemCount count = LumetraCountVisibleWindows();
  const ImGuiIO& io = ImGui::GetIO();
  for (ItemCount i = 0; i < count; ++i) {
    LumetraWindowInfo info{};
    if (LumetraGetVisibleWindow(i, &info) != noErr) continue;
    const float titleBar = ImGui::GetFrameHeight();
    const ImVec2 size(static_cast<float>(info.width), static_cast<float>(info.height) + titleBar);
    ImGui::SetNextWindowSize(size, ImGuiCond_Always);
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x / 2, io.DisplaySize.y / 2), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    char id[320];
    std::snprintf(id, sizeof id, "%s###toolkit%p", info.title && *info.title ? info.title : " ", static_cast<void*>(info.window));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
    const bool open = ImGui::Begin(id, nullptr,
                                   ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse |
                                       ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar |
                                       ImGuiWindowFlags_NoScrollWithMouse);
    ImGui::PopStyleVar();
    if (open) {
      const ImVec2 origin = ImGui::GetWindowPos();
      for (ItemCount j = 0; j < info.controlCount; ++j) {
        LumetraControlInfo c{};
        if (LumetraGetWindowControl(info.window, j, &c) != noErr) continue;
        const ImVec2 at(c.frame.left, titleBar + c.frame.top);
        const ImVec2 extent(static_cast<float>(c.frame.right - c.frame.left), static_cast<float>(c.frame.bottom - c.frame.top));
        ImGui::SetCursorPos(at);
        ImGui::PushID(static_cast<void*>(c.control));
        bool hit = false;
        if (c.kind == kLumetraCheckBoxControl) {
          bool on = c.value != 0;
          hit = ImGui::Checkbox(c.title ? c.title : "", &on);
        } else {
          hit = ImGui::Button(c.title ? c.title : "", extent);
        }
        ImGui::PopID();
        if (hit) clicks_.push_back(static_cast<void*>(c.control));
        if (trace_) {
          // For the tests that click through a real window: where each control is, in the
          // window's coordinates, printed once for each place it is drawn at.
          char line[256];
          std::snprintf(line, sizeof line, "lumetra: control '%c%c%c%c' %d \"%s\" at %d %d size %d %d",
                        static_cast<char>(c.id.signature >> 24), static_cast<char>(c.id.signature >> 16),
                        static_cast<char>(c.id.signature >> 8), static_cast<char>(c.id.signature), static_cast<int>(c.id.id),
                        c.title ? c.title : "", static_cast<int>(origin.x + at.x), static_cast<int>(origin.y + at.y),
                        static_cast<int>(extent.x), static_cast<int>(extent.y));
          bool seen = false;
          for (const auto& t : traced_) seen = seen || t == line;
          if (!seen) {
            traced_.emplace_back(line);
            std::fprintf(stderr, "%s\n", line);
          }
        }
      }
    }
    ImGui::End();
  }
}

void Overlay::drawHelp() {
  struct Row {
    const char* keys;
    const char* what;
  };
  static constexpr Row kPlay[] = {
      {"Space", "pause, resume (play again when stopped)"},
      {"Left, Right", "back, forward 5 seconds"},
      {"Up, Down", "previous, next track"},
      {"S", "stop"},
      {",", "the visualizer's settings"},
      {"C, F", "the visualizer's colour and flash modes"},
      {"F11, double click", "fullscreen"},
      {"H, ?", "this list"},
      {"Q, Escape", "quit"},
  };
  static constexpr Row kCapture[] = {
      {"Space", "pause, resume"},
      {",", "the visualizer's settings"},
      {"C, F", "the visualizer's colour and flash modes"},
      {"F11, double click", "fullscreen"},
      {"H, ?", "this list"},
      {"Q, Escape", "quit"},
  };
  const ImGuiIO& io = ImGui::GetIO();
  ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x - 16, 16), ImGuiCond_Always, ImVec2(1, 0));
  ImGui::SetNextWindowBgAlpha(0.8f);
  ImGui::Begin("Keys", nullptr,
               ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                   ImGuiWindowFlags_NoNav | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse);
  if (ImGui::BeginTable("keys", 2)) {
    const auto rows = captureMode_ ? std::span<const Row>(kCapture) : std::span<const Row>(kPlay);
    for (const Row& r : rows) {
      ImGui::TableNextRow();
      ImGui::TableNextColumn();
      ImGui::TextUnformatted(r.keys);
      ImGui::TableNextColumn();
      ImGui::TextUnformatted(r.what);
    }
    ImGui::EndTable();
  }
  ImGui::End();
}

}  // namespace lumetra
