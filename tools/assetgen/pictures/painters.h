// The demo's pictures, one painter each. The look they share: deep blue
// glass, chrome and pale steel, with warm amber accents.
//
// Painters return pictures in top-down rows; pictures.cpp chooses each
// file's format and writes it. Sizes and roles:
//   chessboard   256 x 256, tiles: one 2 x 2 block of squares, repeated
//                4 x 4 across the floor, so the floor is an 8 x 8 board
//   scratches    512 x 512, stretched once over the floor and multiplied
//                into the chessboard
//   logo         512 x 512 with alpha, the slab's underside
//   title        512 x 512: red the grey level, alpha the opacity of the
//                zoom tunnel's centre picture
//   atom lattice 512 x 512, tiles: the lens scene's plane
//   lens tint    256 x 256, palette: what the lens glass adds
//   tunnel       256 x 256, palette, tiles: the zoom tunnel's layers
//   icon         256 x 256 with alpha: the logo on an opaque plate, clear
//                outside its frame, for the desktop's menus (not data)
#pragma once

#include "tools/assetgen/pictures/canvas.h"
#include "tools/assetgen/pictures/image_files.h"

#include <vector>

namespace assetgen {

struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices;  // width * height, row 0 at the top
    std::vector<PaletteEntry> palette;
};

Canvas paintChessboard();
Canvas paintScratches();
Canvas paintAtomLattice();
IndexedPicture paintLensTint();
IndexedPicture paintTunnel();
// These two need the lettering font; false (after a line on stderr) without it.
bool paintLogo(Canvas& out);
bool paintTitle(Canvas& out);
bool paintIcon(Canvas& out);

}  // namespace assetgen
