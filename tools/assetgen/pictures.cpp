// writePictures: paints the demo's seven pictures and writes each in the
// file format its loader reads. The formats are chosen on purpose:
//   atomic2.bmp          24-bit, info header
//   lensblue.bmp         8-bit, info header, a colour table shorter than 256
//   cool.bmp             8-bit, 12-byte core header, 3-byte table entries
//   ff.bmp               24-bit, info header; red grey level, green opacity
//   schach.tga           24-bit true colour, uncompressed (type 2)
//   kratzer.tga          24-bit true colour, run-length (type 10): colour, not
//                        greyscale, because the floor's texture flags would
//                        turn a greyscale file into an alpha texture and the
//                        scratches would never reach the screen's colours
//   amber_kite_nuts.tga  32-bit true colour with alpha, run-length (type 10)
#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/pictures/image_files.h"
#include "tools/assetgen/pictures/painters.h"

namespace assetgen {

namespace {

std::vector<std::uint8_t> canvasBytes(const Canvas& canvas, int channels) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(canvas.pixels.size() * channels);
    for (const Colour& c : canvas.pixels) {
        bytes.push_back(toByte(c.r));
        bytes.push_back(toByte(c.g));
        bytes.push_back(toByte(c.b));
        if (channels == 4) bytes.push_back(toByte(c.a));
    }
    return bytes;
}

// The centre picture's file: grey level in red, opacity in green, blue unused.
std::vector<std::uint8_t> greyAndOpacityBytes(const Canvas& canvas) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(canvas.pixels.size() * 3);
    for (const Colour& c : canvas.pixels) {
        bytes.push_back(toByte(c.r));
        bytes.push_back(toByte(c.a));
        bytes.push_back(0);
    }
    return bytes;
}

}  // namespace

bool writePictures(const std::string& outDir) {
    const std::string dir = outDir + "/";
    bool ok = true;

    Canvas atoms = paintAtomLattice();
    ok = writeBmp24(dir + "atomic2.bmp", atoms.width, atoms.height, canvasBytes(atoms, 3)) && ok;

    IndexedPicture tint = paintLensTint();
    ok = writeBmp8(dir + "lensblue.bmp", tint.width, tint.height, tint.indices, tint.palette, BmpHeader::info) && ok;

    IndexedPicture tunnel = paintTunnel();
    ok = writeBmp8(dir + "cool.bmp", tunnel.width, tunnel.height, tunnel.indices, tunnel.palette, BmpHeader::core) && ok;

    Canvas title;
    ok = paintTitle(title) && writeBmp24(dir + "ff.bmp", title.width, title.height, greyAndOpacityBytes(title)) && ok;

    Canvas chessboard = paintChessboard();
    ok = writeTga(dir + "schach.tga", chessboard.width, chessboard.height, 3, canvasBytes(chessboard, 3), false) && ok;

    Canvas scratches = paintScratches();
    ok = writeTga(dir + "kratzer.tga", scratches.width, scratches.height, 3, canvasBytes(scratches, 3), true) && ok;

    Canvas logo;
    ok = paintLogo(logo) &&
         writeTga(dir + "amber_kite_nuts.tga", logo.width, logo.height, 4, canvasBytes(logo, 4), true) && ok;

    return ok;
}

bool writeIcon(const std::string& path) {
    Canvas icon;
    return paintIcon(icon) && writePng(path, icon.width, icon.height, canvasBytes(icon, 4));
}

}  // namespace assetgen
