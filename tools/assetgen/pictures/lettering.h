// Lettering for the demo's title pictures.
//
// FreeType reads the glyph outlines of a font that a Debian package ships
// (DejaVu Sans Bold from fonts-dejavu-core), unscaled and unhinted, straight
// from the font's own units; the curves are flattened and filled here with an
// exact-area coverage rasteriser. FreeType's own rasteriser and hinting are
// left out on purpose: they change between FreeType releases, and the
// pictures must come out byte for byte the same wherever they are rebuilt.
#pragma once

#include "tools/assetgen/pictures/canvas.h"

#include <string>
#include <vector>

namespace assetgen {

// Closed polygons; filled with the non-zero rule.
using Contours = std::vector<std::vector<Point>>;

// Fills `contours` (pixel units, y down) into a width x height coverage mask.
Mask fillContours(const Contours& contours, int width, int height);

struct TextLayout {
    std::string text;
    double centreX = 0;       // horizontal centre of the line, pixels
    double baselineY = 0;     // baseline, pixels from the top
    double capHeight = 0;     // height of a capital letter, pixels
    double tracking = 0;      // extra space between letters, in cap heights
    double widthScale = 1.0;  // horizontal stretch of the glyphs
};

// The outlines of one line of text in pixel units, or false (after a line
// on stderr) when the font cannot be read.
bool layoutText(const TextLayout& layout, Contours& out);

// The font file the lettering uses, for messages.
const char* letteringFontPath();

}  // namespace assetgen
