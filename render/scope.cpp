// Scope drawing: the X-Y picture of the two waveform channels, the flash-mode colour, and the
// settings bytes they read.
#include "qdmp.h"
#include "render_p.h"

UInt8 gColorFlag = 1;
UInt8 gFlashFlag = 0;

namespace {

constexpr UInt32 kScopePixel = 0x0000FF00;  // green 255 in the 32-bit pixel format

// The colour ramp of the flash-mode colour, from deep blue through greens and browns to grey.
const RGBColor gLandColors[8] = {
    {0x0000, 0x0000, 0x4000}, {0x4000, 0x4000, 0xC000}, {0x0000, 0x8000, 0x0000}, {0x4000, 0xC000, 0x4000},
    {0xB000, 0x6000, 0x4000}, {0x8000, 0x4000, 0x2000}, {0x4000, 0x4000, 0x4000}, {0xC000, 0xC000, 0xC000},
};

// A sample's coordinate: the sample in single precision times the frame's single-precision
// scale, truncated toward zero. The scale is at most 32767 / 255, so the result fits.
SInt16 ScaleSample(UInt8 sample, float scale) {
  const float product = static_cast<float>(sample) * scale;
  return static_cast<SInt16>(static_cast<SInt32>(product));
}

}  // namespace

void LengthToColorRGB(SInt32, RGBColor* color) {
  if (!color) return;
  color->red = 0;
  color->green = 0;
  color->blue = 0;
}

void UInt8ToColorRGB(UInt8 value, RGBColor* color) {
  if (!color) return;
  if (gColorFlag) {
    const int stop = value >> 5;
    const int next = stop < 7 ? stop + 1 : 7;
    // The weight's whole part is the stop itself, so only value mod 32 blends towards the next.
    *color = QDMP_Mix_RGBColors(gLandColors[stop], gLandColors[next], static_cast<float>(value) / 32.0f);
  } else {
    const UInt16 grey = static_cast<UInt16>(value * 257);
    *color = {grey, grey, grey};
  }
}

void _Draw(VisualPluginState* state, GrafPtr port, const Rect* rect, Boolean onlyUpdate) {
  if (!port || !rect || !state->offscreenWorld) return;
  Rect bounds = *rect;
  OffsetRect(&bounds, static_cast<SInt16>(-bounds.left), static_cast<SInt16>(-bounds.top));
  if (onlyUpdate) return;
  PixMapHandle pixels = GetGWorldPixMap(state->offscreenWorld);
  if (!pixels || !*pixels) return;
  SetGWorld(state->offscreenWorld, nullptr);

  if (gFlashFlag) {
    // The picture stands still: nothing is cleared or drawn. The world's foreground still
    // takes the colour of the level bytes, which nothing paints with (they are always 0).
    RGBColor color;
    if (gColorFlag) {
      UInt8ToColorRGB(state->levelBytes[3], &color);
    } else {
      color.red = static_cast<UInt16>(state->levelBytes[3] * 512);
      color.green = color.red;
      color.blue = static_cast<UInt16>(state->levelBytes[2] * 512);
    }
    RGBForeColor(&color);
    return;
  }

  const SInt16 width = static_cast<SInt16>(bounds.right - bounds.left);
  const SInt16 height = static_cast<SInt16>(bounds.bottom - bounds.top);
  // Divided in double precision, then rounded to single: the coordinates depend on it (width
  // 595 maps sample 27 to column 62, where the exact quotient would give 63).
  const float hScale = static_cast<float>(width / 255.0);
  const float vScale = static_cast<float>(height / 255.0);

  RGBColor black;
  LengthToColorRGB(0, &black);
  QDMP_Fill_Rect(pixels, Point{bounds.top, bounds.left}, Point{bounds.bottom, bounds.right}, &black);

  // Point k pairs channel 0 sample k with channel 1 sample 511 - k. Each point is mapped once
  // and ends one segment and starts the next.
  const UInt8* channel0 = state->renderData.waveformData[0];
  const UInt8* channel1 = state->renderData.waveformData[1];
  SInt16 h = ScaleSample(channel0[0], hScale);
  SInt16 v = ScaleSample(channel1[kVisualNumWaveformEntries - 1], vScale);
  for (int k = 1; k < kVisualNumWaveformEntries; ++k) {
    const SInt16 nextH = ScaleSample(channel0[k], hScale);
    const SInt16 nextV = ScaleSample(channel1[kVisualNumWaveformEntries - 1 - k], vScale);
    QDMP_Draw_Line32(pixels, h, v, nextH, nextV, kScopePixel);
    h = nextH;
    v = nextV;
  }
}
