// What the live player draws with Dear ImGui on the window's GL context: the picture, the
// toolkit's visible windows (the plug-in's settings window) with their controls, the list of
// shortcuts and the player's notices. The toolkit keeps the windows and their controls; this
// draws them as they are each frame and sends every click back through the platform, so the
// plug-in's own handler decides what a click does.
#include "live_p.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>

#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>
#include <span>

namespace lumetra {

Overlay::Overlay(SDL_Window* window, void* glContext, bool captureMode) : captureMode_(captureMode) {
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  // Nothing is saved between runs: no imgui.ini, no log file.
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  ImGui::StyleColorsDark();
  ImGui::GetStyle().WindowRounding = 4.0f;
  if (!ImGui_ImplSDL2_InitForOpenGL(window, glContext) || !ImGui_ImplOpenGL3_Init("#version 130")) {
    ImGui::DestroyContext();
    throw HostError("cannot draw the settings window (OpenGL 3.0 shaders refused); install the system's OpenGL drivers (Mesa)");
  }
  const char* trace = std::getenv("LUMETRA_TRACE_OVERLAY");
  trace_ = trace && *trace && *trace != '0';
}

Overlay::~Overlay() {
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
}

bool Overlay::processEvent(const SDL_Event& event) {
  ImGui_ImplSDL2_ProcessEvent(&event);
  const bool mouse = event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP ||
                     event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEWHEEL;
  return mouse && ImGui::GetIO().WantCaptureMouse;
}

void Overlay::draw(unsigned texture, const LiveStatus& status) {
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  const ImGuiIO& io = ImGui::GetIO();
  // The picture is opaque and covers the window: drawn without blending it is a plain copy,
  // which spares a GL that draws in software (llvmpipe) reading every pixel back.
  ImDrawList* back = ImGui::GetBackgroundDrawList();
  back->AddCallback([](const ImDrawList*, const ImDrawCmd*) { glDisable(GL_BLEND); }, nullptr);
  back->AddImage(reinterpret_cast<ImTextureID>(static_cast<std::uintptr_t>(texture)), ImVec2(0, 0), io.DisplaySize);
  back->AddCallback(ImDrawCallback_ResetRenderState, nullptr);
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
  glViewport(0, 0, static_cast<int>(io.DisplaySize.x * io.DisplayFramebufferScale.x),
             static_cast<int>(io.DisplaySize.y * io.DisplayFramebufferScale.y));
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());

  // The hits go out after the frame: a handler may hide the window being drawn.
  for (void* control : clicks_) LumetraClickControl(static_cast<ControlRef>(control));
  clicks_.clear();
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
