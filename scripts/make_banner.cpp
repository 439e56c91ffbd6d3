// Draws the program's 232 x 55 banner art (src/app/resources/banner.png) with
// the toolkit's own text and a small supersampled shape filler: the emblem of
// two opposed arrows, green and orange, and the program's name on two lines,
// on a transparent ground so the window's banner band shows through.
//
// Build and run (target ambrel_make_banner, not built by default):
//   cmake --build build --target ambrel_make_banner
//   build/src/ui/render/ambrel_make_banner banner.pam
//   convert banner.pam src/app/resources/banner.png
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/text.h"
#include "ui/render/image.h"

namespace {

constexpr int kWidth = 232, kHeight = 55;

struct Rgba {
  float r, g, b, a;
};

struct Point {
  float x, y;
};

std::vector<Rgba> canvas(kWidth* kHeight, Rgba{0, 0, 0, 0});

// Straight-alpha "over" of a colour with coverage onto the canvas.
void Put(int x, int y, Rgba c, float coverage) {
  if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || coverage <= 0) return;
  Rgba& d = canvas[y * kWidth + x];
  float a = c.a * coverage;
  float out = a + d.a * (1 - a);
  if (out <= 0) return;
  d.r = (c.r * a + d.r * d.a * (1 - a)) / out;
  d.g = (c.g * a + d.g * d.a * (1 - a)) / out;
  d.b = (c.b * a + d.b * d.a * (1 - a)) / out;
  d.a = out;
}

bool Inside(const std::vector<Point>& poly, float x, float y) {
  bool in = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    if ((poly[i].y > y) != (poly[j].y > y) &&
        x < (poly[j].x - poly[i].x) * (y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x) {
      in = !in;
    }
  }
  return in;
}

// Fills a polygon with 4 x 4 supersampling and a top-to-bottom gradient.
void FillPolygon(const std::vector<Point>& poly, Rgba top, Rgba bottom, float y0, float y1) {
  for (int y = 0; y < kHeight; ++y) {
    float t = std::fmin(std::fmax((y - y0) / (y1 - y0), 0.f), 1.f);
    Rgba c{top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
           top.b + (bottom.b - top.b) * t, top.a + (bottom.a - top.a) * t};
    for (int x = 0; x < kWidth; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) hits += Inside(poly, x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4);
      Put(x, y, c, hits / 16.f);
    }
  }
}

std::vector<Point> Offset(std::vector<Point> poly, float dx, float dy) {
  for (Point& p : poly) p = {p.x + dx, p.y + dy};
  return poly;
}

// Text coverage from white drawn on black, put on the canvas in a colour.
void Text(const char* text, int height, int x, int y, Rgba colour) {
  FontHandle font = CreateTextFont("Tahoma", height, 700);
  Image* scratch = NewImage(kWidth, kHeight);
  DrawTextTransparent(scratch, font, x, y, text, -1, 0xFFFFFF, nullptr);
  for (int py = 0; py < kHeight; ++py)
    for (int px = 0; px < kWidth; ++px) Put(px, py, colour, PixelRed(*PixelAddress(scratch, px, py)) / 255.f);
  FreeImage(&scratch);
  DeleteTextFont(&font);
}

void Emblem() {
  // Soft disc behind the arrows.
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < 56; ++x) {
      float d = std::hypot(x + 0.5f - 26.f, y + 0.5f - 27.5f);
      Put(x, y, Rgba{1, 1, 1, 0.22f}, std::fmin(std::fmax(24.5f - d, 0.f), 1.f));
    }
  std::vector<Point> right = {{7, 14}, {29, 14}, {29, 7}, {45, 19}, {29, 31}, {29, 24}, {7, 24}};
  std::vector<Point> left = {{45, 32}, {23, 32}, {23, 25}, {7, 37}, {23, 49}, {23, 42}, {45, 42}};
  Rgba shadow{0, 0, 0.1f, 0.35f};
  FillPolygon(Offset(right, 1, 1.5f), shadow, shadow, 0, 1);
  FillPolygon(Offset(left, 1, 1.5f), shadow, shadow, 0, 1);
  FillPolygon(right, Rgba{0.55f, 0.93f, 0.35f, 1}, Rgba{0.13f, 0.60f, 0.12f, 1}, 7, 31);
  FillPolygon(left, Rgba{1.0f, 0.80f, 0.32f, 1}, Rgba{0.93f, 0.45f, 0.05f, 1}, 25, 49);
}

bool WritePam(const char* path) {
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  std::fprintf(f, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", kWidth, kHeight);
  for (const Rgba& c : canvas) {
    unsigned char px[4] = {static_cast<unsigned char>(c.r * 255 + 0.5f), static_cast<unsigned char>(c.g * 255 + 0.5f),
                           static_cast<unsigned char>(c.b * 255 + 0.5f), static_cast<unsigned char>(c.a * 255 + 0.5f)};
    std::fwrite(px, 1, 4, f);
  }
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.pam\n", argv[0]);
    return 2;
  }
  Emblem();
  Rgba shadow{0, 0.05f, 0.2f, 0.55f};
  Text("Ambrel HTTP", -20, 61, 5, shadow);
  Text("Server", -20, 61, 28, shadow);
  Text("Ambrel HTTP", -20, 60, 4, Rgba{1, 1, 1, 1});
  Text("Server", -20, 60, 27, Rgba{0.86f, 0.93f, 1, 1});
  return WritePam(argv[1]) ? 0 : 1;
}
