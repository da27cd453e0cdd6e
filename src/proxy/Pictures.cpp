#include "Pictures.h"

#include <cstdio>

namespace {

std::string Format(const char* fmt, auto... args) {
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    return std::string(buf, n > 0 ? std::min<size_t>(n, sizeof buf - 1) : 0);
}

const char* const kShapes[4] = {
    "M8 2 C8 0 4 0 4 3 C4 5 8 8 8 9 C8 8 12 5 12 3 C12 0 8 0 8 2 Z",           // heart
    "M8 1 L13 6 L8 14 L3 6 Z",                                                 // diamond
    "M2 12 L2 4 L5 8 L8 2 L11 8 L14 4 L14 12 Z",                               // crown
    "M2 12 L2 4 L5 8 L8 2 L11 8 L14 4 L14 12 Z",                               // golden crown
};
const char* const kColours[4] = {"#e4393c", "#2b7bd9", "#2b7bd9", "#e6a100"};

}  // namespace

std::string ItemPictureSvg(int64_t numIid, int size) {
    uint32_t h = static_cast<uint32_t>(numIid) * 2654435761u;
    int hue = static_cast<int>(h % 360);
    int shape = static_cast<int>((h >> 9) % 3);
    double c = size / 2.0, r = size * 0.28;
    std::string body;
    if (shape == 0)
        body = Format("<circle cx='%.1f' cy='%.1f' r='%.1f' fill='hsl(%d,70%%,45%%)'/>", c, c * 0.9, r, (hue + 180) % 360);
    else if (shape == 1)
        body = Format("<rect x='%.1f' y='%.1f' width='%.1f' height='%.1f' rx='%.1f' fill='hsl(%d,70%%,45%%)'/>",
                      c - r, c * 0.9 - r, 2 * r, 2 * r, r / 4, (hue + 180) % 360);
    else
        body = Format("<polygon points='%.1f,%.1f %.1f,%.1f %.1f,%.1f' fill='hsl(%d,70%%,45%%)'/>", c,
                      c * 0.9 - r, c + r, c * 0.9 + r, c - r, c * 0.9 + r, (hue + 180) % 360);
    return Format("<svg xmlns='http://www.w3.org/2000/svg' width='%d' height='%d' viewBox='0 0 %d %d'>"
                  "<rect width='%d' height='%d' fill='hsl(%d,60%%,88%%)'/>",
                  size, size, size, size, size, size, hue) +
           body +
           Format("<text x='%.1f' y='%.1f' font-size='%d' text-anchor='middle' fill='#333' "
                  "font-family='sans-serif'>",
                  c, size - size * 0.08, size / 8) +
           std::to_string(numIid) + "</text></svg>";
}

std::string CreditPictureSvg(int level) {
    if (level < 1 || level > 20) return {};
    int kind = (level - 1) / 5, count = (level - 1) % 5 + 1;
    std::string svg = Format("<svg xmlns='http://www.w3.org/2000/svg' width='%d' height='16' viewBox='0 0 %d 16'>",
                             count * 16, count * 16);
    for (int i = 0; i < count; ++i)
        svg += Format("<path transform='translate(%d,0)' d='%s' fill='%s'/>", i * 16, kShapes[kind], kColours[kind]);
    return svg + "</svg>";
}

int CreditLevelOfFile(const std::string& file) {
    static const char* const kPrefixes[4] = {"b_red_", "s_blue_", "s_cap_", "s_crown_"};
    for (int kind = 0; kind < 4; ++kind)
        for (int n = 1; n <= 5; ++n)
            if (file == kPrefixes[kind] + std::to_string(n) + ".gif") return kind * 5 + n;
    return 0;
}
