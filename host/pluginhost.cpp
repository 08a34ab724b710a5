// The host side of one visualizer instance, and the frame buffer its window port is made over.
#include "host.h"
#include "host_p.h"

#include <algorithm>
#include <new>

namespace lumetra {

OSStatus registerBundleWithPlatform(const std::filesystem::path& bundle) {
  // The visualizer finds its own resources (the settings window) by its identifier.
  return LumetraRegisterBundle(bundle.c_str());
}

// ---- VisualInstance ----------------------------------------------------------------------

namespace {

// The player's version in the platform's four bytes: major, then minor and bug fix as two
// nibbles, final release.
void setPlayerVersion(NumVersion& v) {
  v.majorRev = static_cast<UInt8>(LUMETRA_VERSION_MAJOR);
  v.minorAndBugRev = static_cast<UInt8>(((LUMETRA_VERSION_MINOR & 0xF) << 4) | (LUMETRA_VERSION_PATCH & 0xF));
  v.stage = kNumVersionFinalStage;
  v.nonRelRev = 0;
}

}  // namespace

Expected<std::unique_ptr<VisualInstance>> VisualInstance::create(LoadedBundle& bundle, const Visual& visual,
                                                                 MessageObserver observer) {
  std::unique_ptr<VisualInstance> instance(new VisualInstance);
  instance->handler_ = visual.registration.handlerProc;
  instance->observer_ = std::move(observer);
  VisualMessageBlock block{};
  auto& init = block.u.initMessage;
  init.messageMajorVersion = kHostCallBlockMajorVersion;
  init.messageMinorVersion = kHostCallBlockMinorVersion;
  setPlayerVersion(init.appVersion);
  init.appCookie = &bundle;
  init.appProc = &LoadedBundle::hostCallback;
  init.options = 0;
  const OSStatus status = instance->send(kPluginInitMessage, &block);
  if (status != noErr) {
    // A record the handler made before its file specification failed is still its own to
    // release, so it gets its 'clr '; with no record there is nothing to end.
    instance->refCon_ = init.refCon;
    if (!instance->refCon_) instance->handler_ = nullptr;
    return Error{"visualizer \"" + visual.name + "\" did not start ('init' answered " + std::to_string(status) + ")"};
  }
  instance->refCon_ = init.refCon;
  return instance;
}

VisualInstance::~VisualInstance() {
  if (!handler_) return;
  if (shown_) hide();
  VisualMessageBlock block{};
  send(kPluginCleanupMessage, &block);
}

OSStatus VisualInstance::send(OSType message, VisualMessageBlock* block) {
  const OSStatus status = handler_(message, block, refCon_);
  if (observer_) observer_(message, status);
  return status;
}

OSStatus VisualInstance::show(GrafPtr port, const Rect& rect, UInt32 options) {
  VisualMessageBlock block{};
  block.u.showWindowMessage.port = port;
  block.u.showWindowMessage.drawRect = rect;
  block.u.showWindowMessage.options = options;
  const OSStatus status = send(kVisualPluginShowWindowMessage, &block);
  shown_ = status == noErr;
  return status;
}

OSStatus VisualInstance::setWindow(GrafPtr port, const Rect& rect, UInt32 options) {
  VisualMessageBlock block{};
  block.u.setWindowMessage.port = port;
  block.u.setWindowMessage.drawRect = rect;
  block.u.setWindowMessage.options = options;
  // A failed 'swin' leaves the plug-in without a window; 'hide' is still sent at the end,
  // which it answers harmlessly, so shown_ stays set either way.
  const OSStatus status = send(kVisualPluginSetWindowMessage, &block);
  shown_ = true;
  return status;
}

OSStatus VisualInstance::hide() {
  VisualMessageBlock block{};
  shown_ = false;
  return send(kVisualPluginHideWindowMessage, &block);
}

OSStatus VisualInstance::play(const TrackInfoBlock* track, const StreamInfoBlock* stream) {
  VisualMessageBlock block{};
  block.u.playMessage.trackInfo = track;
  block.u.playMessage.streamInfo = stream;
  return send(kVisualPluginPlayMessage, &block);
}

OSStatus VisualInstance::changeTrack(const TrackInfoBlock* track, const StreamInfoBlock* stream) {
  VisualMessageBlock block{};
  block.u.changeTrackMessage.trackInfo = track;
  block.u.changeTrackMessage.streamInfo = stream;
  return send(kVisualPluginChangeTrackMessage, &block);
}

OSStatus VisualInstance::pause() {
  VisualMessageBlock block{};
  return send(kVisualPluginPauseMessage, &block);
}

OSStatus VisualInstance::unpause() {
  VisualMessageBlock block{};
  return send(kVisualPluginUnpauseMessage, &block);
}

OSStatus VisualInstance::stop() {
  VisualMessageBlock block{};
  return send(kVisualPluginStopMessage, &block);
}

OSStatus VisualInstance::render(const RenderData& data, UInt32 timeStampMs) {
  VisualMessageBlock block{};
  block.u.renderMessage.renderData = &data;
  block.u.renderMessage.timeStampID = timeStampMs;
  return send(kVisualPluginRenderMessage, &block);
}

OSStatus VisualInstance::update() {
  VisualMessageBlock block{};
  return send(kVisualPluginUpdateMessage, &block);
}

OSStatus VisualInstance::idle() {
  VisualMessageBlock block{};
  return send(kVisualPluginIdleMessage, &block);
}

OSStatus VisualInstance::configure() {
  VisualMessageBlock block{};
  return send(kVisualPluginConfigureMessage, &block);
}

OSStatus VisualInstance::event(const EventRecord& e) {
  VisualMessageBlock block{};
  block.u.eventMessage.event = &e;
  return send(kVisualPluginEventMessage, &block);
}

// ---- PlaybackDriver ----------------------------------------------------------------------

PlaybackDriver::PlaybackDriver(VisualInstance& visual, FrameClock clock)
    : visual_(visual), clock_(clock), analyzer_(std::make_unique<Analyzer>()),
      window_(static_cast<std::size_t>(kAnalysisWindow) * kChannels) {}

PlaybackDriver::~PlaybackDriver() = default;

void PlaybackDriver::start(const TrackInfoBlock* track, const StreamInfoBlock* stream) {
  visual_.play(track, stream);
  playing_ = true;
  lastFrame_ = -1;
}

void PlaybackDriver::changeTrack(const TrackInfoBlock* track, const StreamInfoBlock* stream) {
  visual_.changeTrack(track, stream);
  lastFrame_ = -1;
}

void PlaybackDriver::pause() {
  visual_.pause();
  playing_ = false;
}

void PlaybackDriver::resume() {
  visual_.unpause();
  playing_ = true;
  lastFrame_ = -1;
}

void PlaybackDriver::stop() {
  visual_.stop();
  playing_ = false;
}

bool PlaybackDriver::tick(std::int64_t position, SampleHistory& history) {
  if (!playing_) {
    visual_.idle();
    return false;
  }
  const std::int64_t frame = clock_.frameAt(std::max<std::int64_t>(position, 0));
  if (frame == lastFrame_) return false;
  lastFrame_ = frame;
  const std::int64_t t = clock_.sampleAt(frame);
  history.fill(t);
  history.window(t, window_);
  analyzer_->analyze(window_, data_);
  visual_.render(data_, clock_.milliseconds(t));
  return true;
}

// ---- FrameBuffer -------------------------------------------------------------------------

FrameBuffer::FrameBuffer(int width, int height) : width_(width), height_(height) {
  if (width < 1 || height < 1 || width > 32767 || height > 32767)
    throw HostError("a frame of " + std::to_string(width) + "x" + std::to_string(height) +
                    " cannot be made; give --size between 1x1 and 32767x32767");
  try {
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  } catch (const std::bad_alloc&) {
    throw HostError("not enough memory for a " + std::to_string(width) + "x" + std::to_string(height) +
                    " frame; give a smaller --size");
  }
  const Rect rect = bounds();
  port_ = LumetraNewWindowPort(pixels_.data(), static_cast<SInt32>(width) * 4, &rect);
  if (!port_)
    throw HostError("the platform could not make a " + std::to_string(width) + "x" + std::to_string(height) +
                    " window port; give a smaller --size");
}

FrameBuffer::~FrameBuffer() {
  LumetraDisposeWindowPort(port_);
}

}  // namespace lumetra
