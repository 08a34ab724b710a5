// Settings: the settings window ('cnfg'), its control handler and the key toggles ('vevt').
//
// The window is made once, at the first 'cnfg' that finds settingsDialog null, and kept for
// the life of the process; one window serves every instance. The flags themselves live with
// the renderer (gColorFlag, gFlashFlag).
#include "plugin_p.h"

extern "C" LUMETRA_EXPORT OSStatus settingsControlHandler(EventHandlerCallRef inRef, EventRef inEvent,
                                                          void* inUserData);

WindowRef settingsDialog = nullptr;
ControlRef color = nullptr;
ControlRef flash = nullptr;
const ControlID kColorSettingControlID = {LUMETRA_FOURCC('c', 'b', 'o', 'x'), 3};
const ControlID kFlashSettingControlID = {LUMETRA_FOURCC('c', 'b', 'o', 'x'), 4};
EventTypeSpec controlEvent = {kEventClassControl, kEventControlHit};

namespace {

// The control that closes the window; only its number matters, as for the check boxes.
constexpr SInt32 kCloseSettingControlNumber = 5;

// Makes the window, its handler and the two check box references. Anything that cannot be
// made leaves settingsDialog null, so that the next 'cnfg' tries again from the start; a
// missing check box only leaves its reference null.
void MakeSettingsDialog() {
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("Lumetra Visualizer.bundle"));
  if (!bundle) {
    SysBeep(2);
    return;
  }
  IBNibRef nib = nullptr;
  if (CreateNibReferenceWithCFBundle(bundle, CFSTR("SettingsDialog"), &nib) != noErr) return;
  WindowRef window = nullptr;
  OSStatus status = CreateWindowFromNib(nib, CFSTR("PluginSettings"), &window);
  DisposeNibReference(nib);
  if (status != noErr || !window) return;
  // A window whose clicks reach nobody would be worse than none: without its handler it is
  // given back, and the next 'cnfg' makes it again.
  if (InstallEventHandler(GetWindowEventTarget(window), NewEventHandlerUPP(settingsControlHandler), 1, &controlEvent,
                          nullptr, nullptr) != noErr) {
    DisposeWindow(window);
    return;
  }
  settingsDialog = window;
  GetControlByID(settingsDialog, &kColorSettingControlID, &color);
  GetControlByID(settingsDialog, &kFlashSettingControlID, &flash);
}

// The window's handler is code of this bundle. Should the host unload the bundle, the window
// goes with it rather than outlive its handler (a click would call into unmapped code).
__attribute__((destructor)) void ReleaseSettingsDialog() {
  DisposeWindow(settingsDialog);
  settingsDialog = nullptr;
  color = nullptr;
  flash = nullptr;
}

}  // namespace

OSStatus ShowSettings() {
  if (!settingsDialog) MakeSettingsDialog();
  if (!settingsDialog) return noErr;
  if (color) SetControlValue(color, gColorFlag);
  if (flash) SetControlValue(flash, gFlashFlag);
  ShowWindow(settingsDialog);
  return noErr;
}

// Installed with null user data; the event counts as handled whatever the control was.
OSStatus settingsControlHandler(EventHandlerCallRef, EventRef inEvent, void*) {
  ControlRef control = nullptr;
  // The size asked for is that of a control reference: 4 bytes on a 32-bit build, 8 on LP64.
  if (GetEventParameter(inEvent, kEventParamDirectObject, typeControlRef, nullptr, sizeof(ControlRef), nullptr,
                        &control) != noErr ||
      !control) {
    return noErr;
  }
  WindowRef window = GetControlOwner(control);
  ControlID id;
  if (GetControlID(control, &id) != noErr) return noErr;
  if (id.id == kColorSettingControlID.id) {
    gColorFlag = static_cast<UInt8>(GetControlValue(control));
  } else if (id.id == kFlashSettingControlID.id) {
    gFlashFlag = static_cast<UInt8>(GetControlValue(control));
  } else if (id.id == kCloseSettingControlNumber) {
    HideWindow(window);
  }
  return noErr;
}

OSStatus HandleKeyEvent(const VisualMessageBlock* block) {
  const EventRecord* event = block->u.eventMessage.event;
  if (!event || (event->what != keyDown && event->what != autoKey)) return unimpErr;
  switch (event->message & charCodeMask) {
    case 'C':
    case 'c':
      gColorFlag = gColorFlag == 0 ? 1 : 0;
      return noErr;
    case 'F':
    case 'f':
      gFlashFlag = gFlashFlag == 0 ? 1 : 0;
      return noErr;
    default:
      return unimpErr;
  }
}
