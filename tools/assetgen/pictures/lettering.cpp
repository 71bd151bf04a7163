#include "tools/assetgen/pictures/lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace assetgen {

const char* letteringFontPath() { return "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"; }

// ---- coverage rasteriser --------------------------------------------------
//
// Signed-area accumulation: every edge adds, to the cells of each scan row
// it crosses, the exact area it sweeps to its right; a running sum along the
// row then gives each pixel's coverage. Exact anti-aliasing with no sampling
// pattern, and nothing but additions and one division per edge and row.

namespace {

struct Accumulator {
    int width, height, stride;
    std::vector<double> cells;
};

void accumulateLine(Accumulator& acc, Point p0, Point p1) {
    if (p0.y == p1.y) return;
    double dir = 1;
    if (p0.y > p1.y) {
        std::swap(p0, p1);
        dir = -1;
    }
    double dxdy = (p1.x - p0.x) / (p1.y - p0.y);
    double x = p0.x;
    if (p0.y < 0) x -= p0.y * dxdy;
    int yStart = std::max(0, static_cast<int>(std::floor(p0.y)));
    int yEnd = std::min(acc.height, static_cast<int>(std::ceil(p1.y)));
    for (int y = yStart; y < yEnd; ++y) {
        double* row = acc.cells.data() + static_cast<size_t>(y) * acc.stride;
        double dy = std::min(y + 1.0, p1.y) - std::max(static_cast<double>(y), p0.y);
        double xNext = x + dxdy * dy;
        double d = dy * dir;
        // Edges are clipped to the row's cells; the caller keeps the shapes
        // inside the picture, this only guards the buffer.
        double xa = std::clamp(std::min(x, xNext), 0.0, acc.width + 0.0);
        double xb = std::clamp(std::max(x, xNext), 0.0, acc.width + 0.0);
        double xaFloor = std::floor(xa);
        int xai = static_cast<int>(xaFloor);
        int xbi = static_cast<int>(std::ceil(xb));
        if (xbi <= xai + 1) {
            double xmf = 0.5 * (xa + xb) - xaFloor;
            row[xai] += d - d * xmf;
            row[xai + 1] += d * xmf;
        } else {
            double s = 1.0 / (xb - xa);
            double xaf = xa - xaFloor;
            double a0 = 0.5 * s * (1 - xaf) * (1 - xaf);
            double xbf = xb - xbi + 1;
            double am = 0.5 * s * xbf * xbf;
            row[xai] += d * a0;
            if (xbi == xai + 2) {
                row[xai + 1] += d * (1 - a0 - am);
            } else {
                double a1 = s * (1.5 - xaf);
                row[xai + 1] += d * (a1 - a0);
                for (int xi = xai + 2; xi < xbi - 1; ++xi) row[xi] += d * s;
                double a2 = a1 + (xbi - xai - 3) * s;
                row[xbi - 1] += d * (1 - a2 - am);
            }
            row[xbi] += d * am;
        }
        x = xNext;
    }
}

}  // namespace

Mask fillContours(const Contours& contours, int width, int height) {
    Accumulator acc{width, height, width + 2, {}};
    acc.cells.assign(static_cast<size_t>(acc.stride) * height, 0.0);
    for (const std::vector<Point>& contour : contours) {
        for (size_t i = 0; i < contour.size(); ++i)
            accumulateLine(acc, contour[i], contour[(i + 1) % contour.size()]);
    }
    Mask mask = makeMask(width, height);
    for (int y = 0; y < height; ++y) {
        double sum = 0;
        const double* row = acc.cells.data() + static_cast<size_t>(y) * acc.stride;
        for (int x = 0; x < width; ++x) {
            sum += row[x];
            at(mask, x, y) = std::min(1.0, std::fabs(sum));
        }
    }
    return mask;
}

// ---- outlines -------------------------------------------------------------

namespace {

// Contours in font units while FreeType walks an outline; curves are cut
// into a fixed number of straight pieces.
struct OutlineSink {
    Contours contours;
    Point pen{0, 0};
};

constexpr int kCurvePieces = 16;

int moveTo(const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    sink->pen = {static_cast<double>(to->x), static_cast<double>(to->y)};
    sink->contours.push_back({sink->pen});
    return 0;
}

int lineTo(const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    sink->pen = {static_cast<double>(to->x), static_cast<double>(to->y)};
    sink->contours.back().push_back(sink->pen);
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    Point p0 = sink->pen;
    Point c{static_cast<double>(control->x), static_cast<double>(control->y)};
    Point p1{static_cast<double>(to->x), static_cast<double>(to->y)};
    for (int i = 1; i <= kCurvePieces; ++i) {
        double t = static_cast<double>(i) / kCurvePieces, u = 1 - t;
        sink->contours.back().push_back({u * u * p0.x + 2 * u * t * c.x + t * t * p1.x,
                                         u * u * p0.y + 2 * u * t * c.y + t * t * p1.y});
    }
    sink->pen = p1;
    return 0;
}

int cubicTo(const FT_Vector* c1v, const FT_Vector* c2v, const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    Point p0 = sink->pen;
    Point c1{static_cast<double>(c1v->x), static_cast<double>(c1v->y)};
    Point c2{static_cast<double>(c2v->x), static_cast<double>(c2v->y)};
    Point p1{static_cast<double>(to->x), static_cast<double>(to->y)};
    for (int i = 1; i <= kCurvePieces; ++i) {
        double t = static_cast<double>(i) / kCurvePieces, u = 1 - t;
        double a = u * u * u, b = 3 * u * u * t, cc = 3 * u * t * t, d = t * t * t;
        sink->contours.back().push_back({a * p0.x + b * c1.x + cc * c2.x + d * p1.x,
                                         a * p0.y + b * c1.y + cc * c2.y + d * p1.y});
    }
    sink->pen = p1;
    return 0;
}

struct Glyph {
    Contours contours;  // font units, y up
    double advance = 0;
};

bool loadGlyph(FT_Face face, char32_t character, Glyph& glyph) {
    FT_UInt index = FT_Get_Char_Index(face, character);
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
        return false;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    FT_Outline_Funcs funcs{};
    funcs.move_to = moveTo;
    funcs.line_to = lineTo;
    funcs.conic_to = conicTo;
    funcs.cubic_to = cubicTo;
    OutlineSink sink;
    if (FT_Outline_Decompose(&face->glyph->outline, &funcs, &sink)) return false;
    glyph.contours = std::move(sink.contours);
    glyph.advance = static_cast<double>(face->glyph->advance.x);
    return true;
}

}  // namespace

bool layoutText(const TextLayout& layout, Contours& out) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library)) {
        std::fprintf(stderr, "assetgen: FreeType cannot start\n");
        return false;
    }
    FT_Face face = nullptr;
    bool ok = FT_New_Face(library, letteringFontPath(), 0, &face) == 0;
    if (!ok) {
        std::fprintf(stderr, "assetgen: cannot read the font %s (package fonts-dejavu-core)\n",
                     letteringFontPath());
    }
    std::vector<Glyph> glyphs;
    double capUnits = 0;
    if (ok) {
        // The capital H's top is the cap height the layout is scaled to.
        Glyph h;
        ok = loadGlyph(face, U'H', h);
        for (const auto& contour : h.contours)
            for (const Point& p : contour) capUnits = std::max(capUnits, p.y);
        ok = ok && capUnits > 0;
        for (size_t i = 0; ok && i < layout.text.size(); ++i) {
            Glyph g;
            ok = loadGlyph(face, static_cast<unsigned char>(layout.text[i]), g);
            glyphs.push_back(std::move(g));
        }
        if (!ok) std::fprintf(stderr, "assetgen: %s lacks a glyph of \"%s\"\n", letteringFontPath(),
                              layout.text.c_str());
    }
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!ok) return false;

    double scale = layout.capHeight / capUnits;
    double xScale = scale * layout.widthScale;
    double trackingUnits = layout.tracking * capUnits;
    // Place the glyphs from x = 0, then centre the line by its ink, not by
    // its advances, so side bearings do not push it off centre.
    Contours placedLine;
    double penX = 0;
    double inkLeft = 1e300, inkRight = -1e300;
    for (const Glyph& glyph : glyphs) {
        for (const auto& contour : glyph.contours) {
            std::vector<Point> placed;
            placed.reserve(contour.size());
            for (const Point& p : contour) {
                Point q{penX + p.x * xScale, layout.baselineY - p.y * scale};
                inkLeft = std::min(inkLeft, q.x);
                inkRight = std::max(inkRight, q.x);
                placed.push_back(q);
            }
            placedLine.push_back(std::move(placed));
        }
        penX += (glyph.advance + trackingUnits) * xScale;
    }
    double shift = layout.centreX - 0.5 * (inkLeft + inkRight);
    for (auto& contour : placedLine) {
        for (Point& p : contour) p.x += shift;
        out.push_back(std::move(contour));
    }
    return true;
}

}  // namespace assetgen
