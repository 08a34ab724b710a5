// The drawing primitives: ours (the bundle's QDMP_ functions), the limit (memset, memcpy of the
// same bytes), pixman, SDL2 and SDL2_gfx on SDL's software renderer, and a hand-written
// Bresenham, all on the same buffers, one thread.
#include <SDL2/SDL.h>
#include <SDL2/SDL2_gfxPrimitives.h>
#include <pixman.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <utility>

#include "bench.h"

namespace lumetra::bench {
namespace {

// The buffers of one size, made when a benchmark of that size first runs and kept, so that
// every contender works on the same memory.
struct Buffers {
  std::map<int, std::unique_ptr<Buffer>> src, dst;
  std::unique_ptr<Buffer> half;  // the down-sampled image
};

Buffers& BuffersOf(Size size) {
  static std::map<int, Buffers> all;
  Buffers& b = all[size.width];
  if (b.dst.empty()) {
    for (int depth : {8, 16, 32}) {
      b.src[depth] = std::make_unique<Buffer>(size, depth);
      b.dst[depth] = std::make_unique<Buffer>(size, depth);
      b.src[depth]->randomize(static_cast<uint32_t>(depth));
      b.dst[depth]->randomize(static_cast<uint32_t>(depth + 1));
    }
    b.half = std::make_unique<Buffer>(Size{size.width / 2, size.height / 2}, 32);
  }
  return b;
}

using Body = std::function<void()>;

// Registers "op/who/size". setup runs once before the timing, returns the body of one
// iteration; every iteration stands for `items` units of `unit`.
void Add(const std::string& op, const std::string& who, Size size, const char* unit, double items,
         std::function<Body(Buffers&)> setup) {
  const std::string name = op + "/" + who + "/" + size.name();
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
    Body body = setup(BuffersOf(size));
    for (auto _ : state) {
      body();
      benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(static_cast<double>(state.iterations()) * items));
    state.SetLabel(unit);
  });
}

// SDL objects owned by a benchmark body.
using SurfacePtr = std::shared_ptr<SDL_Surface>;
using RendererPtr = std::shared_ptr<SDL_Renderer>;
using ImagePtr = std::shared_ptr<pixman_image_t>;

SurfacePtr SurfaceOver(const Buffer& b, Uint32 format) {
  return SurfacePtr(SDL_CreateRGBSurfaceWithFormatFrom(b.bytes(), b.size().width, b.size().height, b.depth(),
                                                       b.rowBytes(), format),
                    SDL_FreeSurface);
}
Uint32 SdlFormat(int depth) {
  return depth == 32 ? SDL_PIXELFORMAT_RGB888 : depth == 16 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_INDEX8;
}
RendererPtr RendererOver(const SurfacePtr& s) {
  return RendererPtr(SDL_CreateSoftwareRenderer(s.get()), SDL_DestroyRenderer);
}
// Ends an iteration on the software renderer: whatever it has queued is drawn now. Taking the
// surface as well keeps it alive for as long as the body that draws into it.
void Flush(const SurfacePtr& surface, const RendererPtr& renderer) {
  if (surface) SDL_RenderFlush(renderer.get());
}

ImagePtr ImageOver(const Buffer& b, pixman_format_code_t format) {
  return ImagePtr(pixman_image_create_bits(format, b.size().width, b.size().height, b.words(), b.rowBytes()),
                  pixman_image_unref);
}

std::string D(const char* family, int depth) { return family + std::to_string(depth); }

// The fill value of each depth: not the same in every byte, so no contender can fall back on
// memset's byte fill (memset itself, the limit, fills the same number of bytes).
UInt32 FillValue(int depth) { return depth == 32 ? 0x00336699u : depth == 16 ? 0x1A5Bu : 0x99u; }

void FillRects(Size size) {
  const double px = double(size.width) * size.height;
  const Point tl = {0, 0};
  const Point br = {static_cast<SInt16>(size.height), static_cast<SInt16>(size.width)};
  auto fill8 = LUMETRA_BUNDLE_FN(QDMP_Fill_Rect8);
  auto fill16 = LUMETRA_BUNDLE_FN(QDMP_Fill_Rect16);
  auto fill32 = LUMETRA_BUNDLE_FN(QDMP_Fill_Rect32);
  for (int depth : {8, 16, 32}) {
    const std::string op = D("Fill_Rect", depth);
    const UInt32 value = FillValue(depth);
    Add(op, "ours", size, "px", px, [=](Buffers& b) -> Body {
      PixMapHandle pm = b.dst[depth]->map();
      if (depth == 8) return [=] { fill8(pm, tl, br, UInt8(value)); };
      if (depth == 16) return [=] { fill16(pm, tl, br, UInt16(value)); };
      return [=] { fill32(pm, tl, br, value); };
    });
    Add(op, "memset", size, "px", px, [=](Buffers& b) -> Body {
      Buffer* d = b.dst[depth].get();
      return [=] { std::memset(d->bytes(), 0x99, d->byteCount()); };
    });
    Add(op, "pixman_fill", size, "px", px, [=](Buffers& b) -> Body {
      Buffer* d = b.dst[depth].get();
      return [=] { pixman_fill(d->words(), d->rowBytes() / 4, depth, 0, 0, size.width, size.height, value); };
    });
    Add(op, "SDL_FillRect", size, "px", px, [=](Buffers& b) -> Body {
      SurfacePtr s = SurfaceOver(*b.dst[depth], SdlFormat(depth));
      return [=] { SDL_FillRect(s.get(), nullptr, value); };
    });
  }
}

void Copies(Size size) {
  const double px = double(size.width) * size.height;
  auto copy8 = LUMETRA_BUNDLE_FN(QDMP_Copy_Rect8);
  auto copy16 = LUMETRA_BUNDLE_FN(QDMP_Copy_Rect16);
  auto copy32 = LUMETRA_BUNDLE_FN(QDMP_Copy_Rect32);
  auto scan8 = LUMETRA_BUNDLE_FN(QDMP_Copy_Scan8);
  auto scan16 = LUMETRA_BUNDLE_FN(QDMP_Copy_Scan16);
  auto scan32 = LUMETRA_BUNDLE_FN(QDMP_Copy_Scan32);
  if (!copy32 || !scan32) return;
  const Rect r = {0, 0, static_cast<SInt16>(size.height), static_cast<SInt16>(size.width)};
  const SInt16 w = static_cast<SInt16>(size.width);
  for (int depth : {8, 16, 32}) {
    const std::string op = D("Copy_Rect", depth);
    Add(op, "ours", size, "px", px, [=](Buffers& b) -> Body {
      PixMapHandle s = b.src[depth]->map(), d = b.dst[depth]->map();
      auto copy = depth == 8 ? copy8 : depth == 16 ? copy16 : copy32;
      return [=] { copy(s, d, &r, &r); };
    });
    auto memcpyBody = [=](Buffers& b) -> Body {
      Buffer *s = b.src[depth].get(), *d = b.dst[depth].get();
      return [=] { std::memcpy(d->bytes(), s->bytes(), d->byteCount()); };
    };
    Add(op, "memcpy", size, "px", px, memcpyBody);
    // pixman copies 16 and 32 bits per pixel only (it declines 8).
    if (depth != 8)
      Add(op, "pixman_blt", size, "px", px, [=](Buffers& b) -> Body {
        Buffer *s = b.src[depth].get(), *d = b.dst[depth].get();
        return [=] {
          pixman_blt(s->words(), d->words(), s->rowBytes() / 4, d->rowBytes() / 4, depth, depth, 0, 0, 0, 0,
                     size.width, size.height);
        };
      });
    if (depth != 8)
      Add(op, "SDL_BlitSurface", size, "px", px, [=](Buffers& b) -> Body {
        SurfacePtr s = SurfaceOver(*b.src[depth], SdlFormat(depth)), d = SurfaceOver(*b.dst[depth], SdlFormat(depth));
        SDL_SetSurfaceBlendMode(s.get(), SDL_BLENDMODE_NONE);
        return [=] { SDL_BlitSurface(s.get(), nullptr, d.get(), nullptr); };
      });
    const std::string scanOp = D("Copy_Scan", depth);
    Add(scanOp, "ours", size, "px", px, [=](Buffers& b) -> Body {
      PixMapHandle s = b.src[depth]->map(), d = b.dst[depth]->map();
      auto scan = depth == 8 ? scan8 : depth == 16 ? scan16 : scan32;
      return [=] {
        for (SInt16 v = 0; v < size.height; ++v) scan(s, d, v, 0, w, v, 0, w);
      };
    });
    Add(scanOp, "memcpy", size, "px", px, memcpyBody);
  }
}

void Composites(Size size) {
  const double px = double(size.width) * size.height;
  auto rect32A = LUMETRA_BUNDLE_FN(QDMP_Copy_Rect32A);
  auto scan32A = LUMETRA_BUNDLE_FN(QDMP_Copy_Scan32A);
  if (!rect32A || !scan32A) return;
  const Rect r = {0, 0, static_cast<SInt16>(size.height), static_cast<SInt16>(size.width)};
  const SInt16 w = static_cast<SInt16>(size.width);
  auto pixmanOver = [=](Buffers& b) -> Body {
    ImagePtr s = ImageOver(*b.src[32], PIXMAN_a8r8g8b8), d = ImageOver(*b.dst[32], PIXMAN_x8r8g8b8);
    return [=] {
      pixman_image_composite32(PIXMAN_OP_OVER, s.get(), nullptr, d.get(), 0, 0, 0, 0, 0, 0, size.width, size.height);
    };
  };
  Add("Copy_Rect32A", "ours", size, "px", px, [=](Buffers& b) -> Body {
    PixMapHandle s = b.src[32]->map(), d = b.dst[32]->map();
    return [=] { rect32A(s, d, &r, &r); };
  });
  Add("Copy_Rect32A", "pixman_OVER", size, "px", px, pixmanOver);
  Add("Copy_Rect32A", "SDL_blend_blit", size, "px", px, [=](Buffers& b) -> Body {
    SurfacePtr s = SurfaceOver(*b.src[32], SDL_PIXELFORMAT_ARGB8888), d = SurfaceOver(*b.dst[32], SDL_PIXELFORMAT_RGB888);
    SDL_SetSurfaceBlendMode(s.get(), SDL_BLENDMODE_BLEND);
    return [=] { SDL_BlitSurface(s.get(), nullptr, d.get(), nullptr); };
  });
  Add("Copy_Scan32A", "ours", size, "px", px, [=](Buffers& b) -> Body {
    PixMapHandle s = b.src[32]->map(), d = b.dst[32]->map();
    return [=] {
      for (SInt16 v = 0; v < size.height; ++v) scan32A(s, d, v, 0, w, v, 0, w);
    };
  });
  Add("Copy_Scan32A", "pixman_OVER", size, "px", px, pixmanOver);
}

void DownSampling(Size size) {
  const double px = double(size.width) * size.height;  // counted in source pixels
  auto downMip = LUMETRA_BUNDLE_FN(QDMP_DownMip32A);
  if (!downMip) return;
  Add("DownMip32A", "ours", size, "px", px, [=](Buffers& b) -> Body {
    PixMapHandle s = b.src[32]->map(), d = b.half->map();
    return [=] { downMip(s, d); };
  });
  Add("DownMip32A", "memcpy", size, "px", px, [=](Buffers& b) -> Body {
    Buffer *s = b.src[32].get(), *d = b.dst[32].get();
    return [=] { std::memcpy(d->bytes(), s->bytes(), s->byteCount()); };
  });
}

void Lines(Size size) {
  auto line8 = LUMETRA_BUNDLE_FN(QDMP_Draw_Line8);
  auto line16 = LUMETRA_BUNDLE_FN(QDMP_Draw_Line16);
  auto line32 = LUMETRA_BUNDLE_FN(QDMP_Draw_Line32);
  const std::pair<const char*, std::vector<Segment>> figures[] = {{"scope", ScopeSegments(size)},
                                                                  {"random", RandomSegments(size)}};
  for (const auto& [figure, segs] : figures) {
    const double n = static_cast<double>(segs.size());
    for (int depth : {8, 16, 32}) {
      const std::string op = D("Draw_Line", depth) + ":" + figure;
      const UInt32 value = depth == 32 ? 0x0000FF00u : depth == 16 ? 0x03E0u : 0xD2u;
      Add(op, "ours", size, "seg", n, [=](Buffers& b) -> Body {
        PixMapHandle pm = b.dst[depth]->map();
        if (depth == 8) return [=] { for (const Segment& s : segs) line8(pm, s.h0, s.v0, s.h1, s.v1, UInt8(value)); };
        if (depth == 16) return [=] { for (const Segment& s : segs) line16(pm, s.h0, s.v0, s.h1, s.v1, UInt16(value)); };
        return [=] { for (const Segment& s : segs) line32(pm, s.h0, s.v0, s.h1, s.v1, value); };
      });
      Add(op, "hand_Bresenham", size, "seg", n, [=](Buffers& b) -> Body {
        Buffer* d = b.dst[depth].get();
        uint8_t* base = d->bytes();
        const int32_t rb = d->rowBytes();
        if (depth == 8)
          return [=] { for (const Segment& s : segs) HandLine<uint8_t>(base, rb, size.width, size.height, s, uint8_t(value)); };
        if (depth == 16)
          return [=] { for (const Segment& s : segs) HandLine<uint16_t>(base, rb, size.width, size.height, s, uint16_t(value)); };
        return [=] { for (const Segment& s : segs) HandLine<uint32_t>(base, rb, size.width, size.height, s, value); };
      });
      if (depth == 32)
        Add(op, "lineRGBA", size, "seg", n, [=](Buffers& b) -> Body {
          SurfacePtr s = SurfaceOver(*b.dst[32], SDL_PIXELFORMAT_RGB888);
          RendererPtr r = RendererOver(s);
          return [=] {
            for (const Segment& g : segs) lineRGBA(r.get(), g.h0, g.v0, g.h1, g.v1, 0, 255, 0, 255);
            Flush(s, r);
          };
        });
    }
  }
}

void Circles(Size size) {
  auto draw8 = LUMETRA_BUNDLE_FN(QDMP_Draw_Circle8);
  auto draw16 = LUMETRA_BUNDLE_FN(QDMP_Draw_Circle16);
  auto draw32 = LUMETRA_BUNDLE_FN(QDMP_Draw_Circle32);
  auto fill8 = LUMETRA_BUNDLE_FN(QDMP_Fill_Circle8);
  auto fill16 = LUMETRA_BUNDLE_FN(QDMP_Fill_Circle16);
  auto fill32 = LUMETRA_BUNDLE_FN(QDMP_Fill_Circle32);
  if (!draw32 || !fill32) return;
  const SInt16 h = static_cast<SInt16>(size.width / 2), v = static_cast<SInt16>(size.height / 2);
  for (UInt16 radius : {50, 300}) {
    for (bool filled : {false, true}) {
      for (int depth : {8, 16, 32}) {
        const std::string op = D(filled ? "Fill_Circle" : "Draw_Circle", depth) + ":r" + std::to_string(radius);
        const UInt32 value = depth == 32 ? 0x00FF8000u : depth == 16 ? 0x7E00u : 0x17u;
        Add(op, "ours", size, "circle", 1, [=](Buffers& b) -> Body {
          PixMapHandle pm = b.dst[depth]->map();
          if (depth == 8) return [=] { (filled ? fill8 : draw8)(pm, h, v, radius, UInt8(value)); };
          if (depth == 16) return [=] { (filled ? fill16 : draw16)(pm, h, v, radius, UInt16(value)); };
          return [=] { (filled ? fill32 : draw32)(pm, h, v, radius, value); };
        });
        if (depth == 32)
          Add(op, filled ? "filledCircleRGBA" : "circleRGBA", size, "circle", 1, [=](Buffers& b) -> Body {
            SurfacePtr s = SurfaceOver(*b.dst[32], SDL_PIXELFORMAT_RGB888);
            RendererPtr r = RendererOver(s);
            if (filled)
              return [=] {
                filledCircleRGBA(r.get(), h, v, SInt16(radius), 255, 128, 0, 255);
                Flush(s, r);
              };
            return [=] {
              circleRGBA(r.get(), h, v, SInt16(radius), 255, 128, 0, 255);
              Flush(s, r);
            };
          });
      }
    }
  }
}

// The segments QDMP_Draw_Curve draws for p0, p1, p2: two per piece that is no longer split.
int CurveSegments(Point p0, Point p1, Point p2) {
  auto mid = [](Point a, Point b) {
    return Point{static_cast<SInt16>((a.v + b.v) >> 1), static_cast<SInt16>((a.h + b.h) >> 1)};
  };
  auto dist2 = [](Point a, Point b) {
    const SInt16 dh = SInt16(a.h - b.h), dv = SInt16(a.v - b.v);
    return UInt32(dh * dh) + UInt32(dv * dv);
  };
  const Point m01 = mid(p0, p1), m12 = mid(p1, p2), m = mid(m01, m12);
  return (dist2(p0, m) > 100 ? CurveSegments(p0, m01, m) : 2) + (dist2(m, p1) > 100 ? CurveSegments(m, m12, p2) : 2);
}

void Curves(Size size) {
  auto curve = LUMETRA_BUNDLE_FN(QDMP_Draw_Curve);
  if (!curve) return;
  const SInt16 w = SInt16(size.width), hgt = SInt16(size.height);
  const Point p0 = {SInt16(hgt * 7 / 8), SInt16(w / 8)}, p1 = {SInt16(hgt / 8), SInt16(w / 2)},
              p2 = {SInt16(hgt * 7 / 8), SInt16(w * 7 / 8)};
  const int steps = CurveSegments(p0, p1, p2);
  const RGBColor green = {0, 0xFFFF, 0};
  for (int depth : {8, 16, 32}) {
    const std::string op = D("Draw_Curve", depth);
    Add(op, "ours", size, "curve", 1, [=](Buffers& b) -> Body {
      PixMapHandle pm = b.dst[depth]->map();
      return [=] { curve(pm, p0, p1, p2, &green); };
    });
    // The same control points, in as many steps as ours draws segments.
    if (depth == 32)
      Add(op, "bezierRGBA", size, "curve", 1, [=](Buffers& b) -> Body {
        SurfacePtr s = SurfaceOver(*b.dst[32], SDL_PIXELFORMAT_RGB888);
        RendererPtr r = RendererOver(s);
        return [=] {
          const Sint16 vx[3] = {p0.h, p1.h, p2.h}, vy[3] = {p0.v, p1.v, p2.v};
          bezierRGBA(r.get(), vx, vy, 3, steps, 0, 255, 0, 255);
          Flush(s, r);
        };
      });
  }
}

void Pixels(Size size) {
  auto set8 = LUMETRA_BUNDLE_FN(QDMP_Set_Pixel8);
  auto set16 = LUMETRA_BUNDLE_FN(QDMP_Set_Pixel16);
  auto set32 = LUMETRA_BUNDLE_FN(QDMP_Set_Pixel32);
  // The getters answer in their own widths; each is called through a common 32-bit form.
  static auto g8 = LUMETRA_BUNDLE_FN(QDMP_Get_Pixel8);
  static auto g16 = LUMETRA_BUNDLE_FN(QDMP_Get_Pixel16);
  static auto g32 = LUMETRA_BUNDLE_FN(QDMP_Get_Pixel32);
  using Getter = UInt32 (*)(PixMapHandle, SInt16, SInt16);
  const Getter get8 = [](PixMapHandle pm, SInt16 h, SInt16 v) -> UInt32 { return g8(pm, h, v); };
  const Getter get16 = [](PixMapHandle pm, SInt16 h, SInt16 v) -> UInt32 { return g16(pm, h, v); };
  const Getter get32 = [](PixMapHandle pm, SInt16 h, SInt16 v) -> UInt32 { return g32(pm, h, v); };
  std::mt19937 random(7);
  std::vector<Point> points(4096);
  for (Point& p : points)
    p = {SInt16(int(random() % unsigned(size.height + 20)) - 10), SInt16(int(random() % unsigned(size.width + 20)) - 10)};
  const double n = static_cast<double>(points.size());
  for (int depth : {8, 16, 32}) {
    const std::string op = D("Set_Pixel", depth);
    Add(op, "ours", size, "px", n, [=](Buffers& b) -> Body {
      PixMapHandle pm = b.dst[depth]->map();
      if (depth == 8) return [=] { for (Point p : points) set8(pm, p.h, p.v, 0x55); };
      if (depth == 16) return [=] { for (Point p : points) set16(pm, p.h, p.v, 0x1234); };
      return [=] { for (Point p : points) set32(pm, p.h, p.v, 0x00123456u); };
    });
    Add(D("Get_Pixel", depth), "ours", size, "px", n, [=](Buffers& b) -> Body {
      PixMapHandle pm = b.dst[depth]->map();
      auto get = depth == 8 ? get8 : depth == 16 ? get16 : get32;
      return [=] {
        UInt32 sum = 0;
        for (Point p : points) sum += get(pm, p.h, p.v);
        benchmark::DoNotOptimize(sum);
      };
    });
    if (depth == 32)
      Add(op, "pixelRGBA", size, "px", n, [=](Buffers& b) -> Body {
        SurfacePtr s = SurfaceOver(*b.dst[32], SDL_PIXELFORMAT_RGB888);
        RendererPtr r = RendererOver(s);
        return [=] {
          for (Point p : points) pixelRGBA(r.get(), p.h, p.v, 0x12, 0x34, 0x56, 255);
          Flush(s, r);
        };
      });
  }
}

// The library's random numbers against the C library's rand(), 1024 draws an iteration.
void RandomNumbers(Size size) {
  auto range = LUMETRA_BUNDLE_FN(QDMP_Random_RangeSInt16);
  if (!range) return;
  Add("Random_RangeSInt16", "ours", size, "draw", 1024, [=](Buffers&) -> Body {
    return [=] {
      SInt32 sum = 0;
      for (int i = 0; i < 1024; ++i) sum += range(0, 1000);
      benchmark::DoNotOptimize(sum);
    };
  });
  Add("Random_RangeSInt16", "rand", size, "draw", 1024, [=](Buffers&) -> Body {
    return [=] {
      int sum = 0;
      for (int i = 0; i < 1024; ++i) sum += std::rand() % 1001;
      benchmark::DoNotOptimize(sum);
    };
  });
}

}  // namespace

void RegisterPrimitives() {
  for (const Size& size : kSizes) {
    FillRects(size);
    Copies(size);
    Composites(size);
    DownSampling(size);
    Lines(size);
    Circles(size);
    Curves(size);
    Pixels(size);
    if (size.name() == kTargetSize) RandomNumbers(size);
  }
}

}  // namespace lumetra::bench
