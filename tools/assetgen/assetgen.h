// assetgen: writes every data file of the demo from code, deterministically.
// Each writer puts its files into `outDir` and returns false (after a line
// on stderr) when it cannot.
#pragma once

#include <string>

namespace assetgen {

// data/orbita.s3m, data/1.wav, data/2.wav
bool writeSoundtrack(const std::string& outDir);
// the four BMP and three TGA pictures
bool writePictures(const std::string& outDir);
// the five polyhedron description files
bool writeSolids(const std::string& outDir);

// The desktop icon (a PNG, 256 x 256 with alpha) drawn from the logo, at
// `path`. Not data: the package installs it for the menus.
bool writeIcon(const std::string& path);

}  // namespace assetgen
