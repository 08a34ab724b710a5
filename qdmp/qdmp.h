/*
 * The pixel-map drawing library: every QDMP_ function, exported from the bundle.
 *
 * The library draws straight into the pixel memory of pixel maps of 8, 16 or 32 bits per
 * pixel, reached through a PixMapHandle. It never allocates, never locks, and reports
 * nothing: drawing and copying calls do nothing on a null handle or master pointer, an
 * unsupported depth or an empty area; getters then answer 0 or black. Nothing outside a
 * pixel map is ever read or written, whatever the coordinates.
 *
 * Conventions: separate coordinates come h before v (scans take the row first); a generic
 * entry point takes an RGBColor and converts it once to the map's depth; a worker with a
 * depth suffix (8, 16, 32) takes a ready pixel value and serves only maps of its depth (it
 * does nothing on another); a P after the object marks the variant that takes Points.
 * In two-map operations the source comes first.
 */
#ifndef LUMETRA_QDMP_H
#define LUMETRA_QDMP_H

#include "platform.h"

#ifdef __cplusplus
extern "C" {
#endif

#define QDMP_API __attribute__((visibility("default")))

/* ---- Library state and geometry ------------------------------------------------------ */

QDMP_API SInt32 QDMP_Init(void);
QDMP_API void QDMP_Set_Rect(Rect* rect, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom);
QDMP_API void QDMP_Offset_Rect(Rect* rect, SInt16 dh, SInt16 dv);
QDMP_API void QDMP_Inset_Rect(Rect* rect, SInt16 dh, SInt16 dv);
QDMP_API SInt32 QDMP_Intersect_Rects(const Rect* a, const Rect* b, Rect* out);
QDMP_API Point QDMP_Set_Point(Point* pt, SInt16 h, SInt16 v);
QDMP_API SInt32 QDMP_PointInRect(Point pt, const Rect* rect);
QDMP_API Point QDMP_MidPoint(Point a, Point b);
QDMP_API Point QDMP_MidPointRect(const Rect* rect);

/* ---- Colour utilities ---------------------------------------------------------------- */

QDMP_API RGBColor QDMP_Mix_RGBColors(RGBColor a, RGBColor b, float weight);
QDMP_API UInt32 QDMP_RGBColorDistance(RGBColor a, RGBColor b);

/* ---- Pixel access -------------------------------------------------------------------- */

QDMP_API RGBColor QDMP_Get_Pixel(PixMapHandle pm, SInt16 h, SInt16 v);
QDMP_API UInt8 QDMP_Get_Pixel8(PixMapHandle pm, SInt16 h, SInt16 v);
QDMP_API UInt16 QDMP_Get_Pixel16(PixMapHandle pm, SInt16 h, SInt16 v);
QDMP_API UInt32 QDMP_Get_Pixel32(PixMapHandle pm, SInt16 h, SInt16 v);
QDMP_API RGBColor QDMP_Get_PixelP(PixMapHandle pm, Point pt);
QDMP_API UInt8 QDMP_Get_PixelP8(PixMapHandle pm, Point pt);
QDMP_API UInt16 QDMP_Get_PixelP16(PixMapHandle pm, Point pt);
QDMP_API UInt32 QDMP_Get_PixelP32(PixMapHandle pm, Point pt);
QDMP_API void QDMP_Set_Pixel(PixMapHandle pm, SInt16 h, SInt16 v, const RGBColor* color);
QDMP_API void QDMP_Set_Pixel8(PixMapHandle pm, SInt16 h, SInt16 v, UInt8 value);
QDMP_API void QDMP_Set_Pixel16(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 value);
QDMP_API void QDMP_Set_Pixel32(PixMapHandle pm, SInt16 h, SInt16 v, UInt32 value);
QDMP_API void QDMP_Set_PixelP(PixMapHandle pm, Point pt, const RGBColor* color);
QDMP_API void QDMP_Set_PixelP8(PixMapHandle pm, Point pt, UInt8 value);
QDMP_API void QDMP_Set_PixelP16(PixMapHandle pm, Point pt, UInt16 value);
QDMP_API void QDMP_Set_PixelP32(PixMapHandle pm, Point pt, UInt32 value);

/* ---- Lines and filled rectangles ----------------------------------------------------- */

QDMP_API void QDMP_Draw_Line(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd,
                             const RGBColor* color);
QDMP_API void QDMP_Draw_Line8(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd, UInt8 value);
QDMP_API void QDMP_Draw_Line16(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd,
                               UInt16 value);
QDMP_API void QDMP_Draw_Line32(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd,
                               UInt32 value);
QDMP_API void QDMP_Draw_LineP(PixMapHandle pm, Point start, Point end, const RGBColor* color);
QDMP_API void QDMP_Draw_LineP8(PixMapHandle pm, Point start, Point end, UInt8 value);
QDMP_API void QDMP_Draw_LineP16(PixMapHandle pm, Point start, Point end, UInt16 value);
QDMP_API void QDMP_Draw_LineP32(PixMapHandle pm, Point start, Point end, UInt32 value);

/* topLeft is (v = top, h = left), bottomRight is (v = bottom, h = right). */
QDMP_API void QDMP_Fill_Rect(PixMapHandle pm, Point topLeft, Point bottomRight, const RGBColor* color);
QDMP_API void QDMP_Fill_Rect8(PixMapHandle pm, Point topLeft, Point bottomRight, UInt8 value);
QDMP_API void QDMP_Fill_Rect16(PixMapHandle pm, Point topLeft, Point bottomRight, UInt16 value);
QDMP_API void QDMP_Fill_Rect32(PixMapHandle pm, Point topLeft, Point bottomRight, UInt32 value);

/* ---- Circles and discs --------------------------------------------------------------- */

QDMP_API void QDMP_Draw_Circle(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, const RGBColor* color);
QDMP_API void QDMP_Draw_Circle8(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt8 value);
QDMP_API void QDMP_Draw_Circle16(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt16 value);
QDMP_API void QDMP_Draw_Circle32(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt32 value);
QDMP_API void QDMP_Draw_CircleP(PixMapHandle pm, Point center, UInt16 radius, const RGBColor* color);
QDMP_API void QDMP_Draw_CircleP8(PixMapHandle pm, Point center, UInt16 radius, UInt8 value);
QDMP_API void QDMP_Draw_CircleP16(PixMapHandle pm, Point center, UInt16 radius, UInt16 value);
QDMP_API void QDMP_Draw_CircleP32(PixMapHandle pm, Point center, UInt16 radius, UInt32 value);
QDMP_API void QDMP_Fill_Circle(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, const RGBColor* color);
QDMP_API void QDMP_Fill_Circle8(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt8 value);
QDMP_API void QDMP_Fill_Circle16(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt16 value);
QDMP_API void QDMP_Fill_Circle32(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt32 value);
QDMP_API void QDMP_Fill_CircleP(PixMapHandle pm, Point center, UInt16 radius, const RGBColor* color);
QDMP_API void QDMP_Fill_CircleP8(PixMapHandle pm, Point center, UInt16 radius, UInt8 value);
QDMP_API void QDMP_Fill_CircleP16(PixMapHandle pm, Point center, UInt16 radius, UInt16 value);
QDMP_API void QDMP_Fill_CircleP32(PixMapHandle pm, Point center, UInt16 radius, UInt32 value);

/* ---- Curves -------------------------------------------------------------------------- */

/* A quadratic curve from p0 to p2 bent towards p1, drawn as QDMP_Draw_Line segments. */
QDMP_API void QDMP_Draw_Curve(PixMapHandle pm, Point p0, Point p1, Point p2, const RGBColor* color);

/* ---- Block copies and alpha compositing ---------------------------------------------- */

QDMP_API void QDMP_Copy_Rect(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect);
QDMP_API void QDMP_Copy_Rect8(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect);
QDMP_API void QDMP_Copy_Rect16(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect);
QDMP_API void QDMP_Copy_Rect32(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect);
QDMP_API void QDMP_Copy_Rect32A(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect);
QDMP_API void QDMP_Copy_Scan(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2,
                             SInt16 dstRow, SInt16 dstH1, SInt16 dstH2);
QDMP_API void QDMP_Copy_Scan8(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2,
                              SInt16 dstRow, SInt16 dstH1, SInt16 dstH2);
QDMP_API void QDMP_Copy_Scan16(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2,
                               SInt16 dstRow, SInt16 dstH1, SInt16 dstH2);
QDMP_API void QDMP_Copy_Scan32(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2,
                               SInt16 dstRow, SInt16 dstH1, SInt16 dstH2);
QDMP_API void QDMP_Copy_Scan32A(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2,
                                SInt16 dstRow, SInt16 dstH1, SInt16 dstH2);

/* ---- Down-sampling ------------------------------------------------------------------- */

QDMP_API void QDMP_DownMip32A(PixMapHandle src, PixMapHandle dst);

/* ---- Pseudo-random numbers ----------------------------------------------------------- */

QDMP_API SInt16 QDMP_RandomSInt16(void);
QDMP_API SInt16 QDMP_Random_RangeSInt16(SInt16 min, SInt16 max);
QDMP_API SInt32 QDMP_Random_RangeSInt32(SInt32 min, SInt32 max);

#ifdef __cplusplus
}
#endif

#endif
