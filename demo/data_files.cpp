#include "demo/data_files.h"

const std::vector<std::string>& demoDataFiles() {
    static const std::vector<std::string> files = {
        "orbita.s3m", "1.wav",        "2.wav",       "lens.cg",      "twist.cg",      "atomic2.bmp",
        "lensblue.bmp", "cool.bmp",   "ff.bmp",      "distort.cg",   "tetrahed.txt",  "hexahed.txt",
        "octahed.txt",  "dodecahed.txt", "icosahed.txt", "schach.tga", "kratzer.tga", "amber_kite_nuts.tga"};
    return files;
}
