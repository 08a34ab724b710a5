// The library's private helpers: the colour conversions and the scans. Not exported.
#ifndef LUMETRA_QDMP_P_H
#define LUMETRA_QDMP_P_H

#include "qdmp.h"

// Colour to pixel value. RGBColorToColor8 answers the nearest entry of the map's colour table
// (255 without a table or for a null colour); the others take a valid colour.
UInt8 RGBColorToColor8(PixMapHandle pm, const RGBColor* color);
UInt16 RGBColorToColor16(const RGBColor* color);
UInt32 RGBColorToColor32(const RGBColor* color);

// Pixel value to colour, widening by bit replication.
RGBColor Color16ToRGBColor(UInt32 pixel);
RGBColor Color32ToRGBColor(UInt32 pixel);
RGBColor FindColorByIndex(PixMapHandle pm, SInt16 index);

// A run of pixels on row v from the smaller of h1, h2 up to, not including, the larger.
// Rows outside the bounds are dropped, columns outside are cut; a map of another depth is left
// alone.
void Draw_Scan8(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt8 value);
void Draw_Scan16(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt16 value);
void Draw_Scan32(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt32 value);

#endif
