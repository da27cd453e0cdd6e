#include "ItemPictures.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <vector>

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

// A picture being drawn: RGBA pixels, row by row.
struct Canvas {
    int w, h;
    std::vector<Rgba> px;
    Canvas(int width, int height, Rgba fill)
        : w(width), h(height), px(size_t(width) * height, fill) {}
    void Set(int x, int y, Rgba c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c;
    }
};

void AppendToString(png_structp png, png_bytep data, png_size_t size) {
    static_cast<std::string*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), size);
}

[[noreturn]] void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// libpng reports errors by jumping back to the setjmp, so this frame holds nothing that a
// jump could leave half done.
bool WritePng(png_structp png, png_infop info, std::string* out, const Canvas* c,
              const png_const_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, AppendToString, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(c->w), static_cast<png_uint_32>(c->h), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < c->h; ++y) png_write_row(png, rows[y]);
    png_write_end(png, nullptr);
    return true;
}

std::string EncodePng(const Canvas& c) {
    std::string out;
    std::vector<png_const_bytep> rows(static_cast<size_t>(c.h));
    for (int y = 0; y < c.h; ++y)
        rows[static_cast<size_t>(y)] = reinterpret_cast<png_const_bytep>(&c.px[size_t(y) * c.w]);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info && !WritePng(png, info, &out, &c, rows.data())) out.clear();
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return out;
}

Rgba Hsl(int hue, double s, double l) {
    double c = (1 - std::fabs(2 * l - 1)) * s, hp = (hue % 360) / 60.0,
           x = c * (1 - std::fabs(std::fmod(hp, 2) - 1));
    double r = 0, g = 0, b = 0;
    if (hp < 1)
        r = c, g = x;
    else if (hp < 2)
        r = x, g = c;
    else if (hp < 3)
        g = c, b = x;
    else if (hp < 4)
        g = x, b = c;
    else if (hp < 5)
        r = x, b = c;
    else
        r = c, b = x;
    double m = l - c / 2;
    auto k = [m](double v) {
        return static_cast<uint8_t>(std::clamp((v + m) * 255.0, 0.0, 255.0));
    };
    return {k(r), k(g), k(b), 255};
}

// Digits 3 wide and 5 high, one row of three bits each.
const uint8_t kDigits[10][5] = {{7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7},
                                {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1},
                                {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

void DrawNumber(Canvas& c, const std::string& digits, int scale, int bottom, Rgba ink) {
    int width = int(digits.size()) * 4 * scale - scale;
    int left = (c.w - width) / 2, top = bottom - 5 * scale;
    for (size_t i = 0; i < digits.size(); ++i)
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (kDigits[digits[i] - '0'][row] & (4 >> col))
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx)
                            c.Set(left + int(i) * 4 * scale + col * scale + dx,
                                  top + row * scale + dy, ink);
}

// Inside tests on coordinates normalised to -1..1 around a symbol's centre.
bool InHeart(double x, double y) {
    y = -y * 1.15 + 0.25;
    x *= 1.15;
    double a = x * x + y * y - 1;
    return a * a * a - x * x * y * y * y <= 0;
}
bool InDiamond(double x, double y) { return std::fabs(x) * 0.9 + std::fabs(y) <= 0.95; }
bool InCrown(double x, double y) {
    if (y > 0.75 || y < -0.8 || std::fabs(x) > 0.9) return false;
    if (y > 0.1) return true;
    // three points: the band's top edge dips between them
    double spike =
        0.8 - 1.6 * std::min({std::fabs(x + 0.9), std::fabs(x), std::fabs(x - 0.9)}) / 0.45;
    return -y <= std::max(0.0, spike) || y > -0.05;
}

}  // namespace

std::string ItemPicturePng(int64_t numIid, int size) {
    uint32_t h = static_cast<uint32_t>(numIid) * 2654435761u;
    int hue = static_cast<int>(h % 360);
    int shape = static_cast<int>((h >> 9) % 3);
    Canvas c(size, size, Hsl(hue, 0.6, 0.88));
    Rgba fill = Hsl(hue + 180, 0.7, 0.45);
    double cx = size / 2.0, cy = size * 0.45, r = size * 0.28;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double dx = (x + 0.5 - cx) / r, dy = (y + 0.5 - cy) / r;
            bool inside = shape == 0   ? dx * dx + dy * dy <= 1
                          : shape == 1 ? std::fabs(dx) <= 0.9 && std::fabs(dy) <= 0.9
                                       : dy <= 1 && dy >= -1 && std::fabs(dx) <= (dy + 1) / 2;
            if (inside) c.Set(x, y, fill);
        }
    DrawNumber(c, std::to_string(numIid), std::max(1, size / 80), size - size / 16,
               {51, 51, 51, 255});
    return EncodePng(c);
}

std::string CreditPicturePng(int level) {
    if (level < 1 || level > 20) return {};
    int kind = (level - 1) / 5, count = (level - 1) % 5 + 1;
    const Rgba colours[4] = {
        {228, 57, 60, 255}, {43, 123, 217, 255}, {43, 123, 217, 255}, {230, 161, 0, 255}};
    Canvas c(count * 16, 16, {0, 0, 0, 0});
    for (int i = 0; i < count; ++i)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                double nx = (x + 0.5 - 8) / 7, ny = (y + 0.5 - 8) / 7;
                bool inside = kind == 0   ? InHeart(nx, ny)
                              : kind == 1 ? InDiamond(nx, ny)
                                          : InCrown(nx, ny);
                if (inside) c.Set(i * 16 + x, y, colours[kind]);
            }
    return EncodePng(c);
}

int CreditLevelOfFile(const std::string& file) {
    static const char* const kPrefixes[4] = {"b_red_", "s_blue_", "s_cap_", "s_crown_"};
    for (int kind = 0; kind < 4; ++kind)
        for (int n = 1; n <= 5; ++n)
            if (file == kPrefixes[kind] + std::to_string(n) + ".gif") return kind * 5 + n;
    return 0;
}
