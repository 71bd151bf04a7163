// PNG pictures through libpng: plain 8-bit RGB, no time stamp or other
// chunk that would differ between two captures of the same frame.
#include "tools/capture/frame_output.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace capture {
namespace {

bool makeFolder(const std::string& folder, std::string& error) {
    std::error_code failure;
    std::filesystem::create_directories(std::filesystem::u8path(folder), failure);
    if (failure) {
        error = folder + ": cannot make the folder (" + failure.message() + ")";
        return false;
    }
    if (!std::filesystem::is_directory(std::filesystem::u8path(folder), failure)) {
        error = folder + ": not a folder";
        return false;
    }
    return true;
}

}  // namespace

bool writePng(const std::string& path, const CapturedFrame& frame, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = path + ": the picture could not be encoded";
        return false;
    }
    png_init_io(png, file);
    // Fast compression: a capture writes thousands of frames.
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width), static_cast<png_uint_32>(frame.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < frame.height; ++y)
        png_write_row(png, frame.rgb + static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        error = path + ": cannot be written completely";
        return false;
    }
    return true;
}

FrameOutput pngOutput(const std::string& folder) {
    FrameOutput output;
    output.name = "png";
    auto ready = std::make_shared<int>(0);  // 0 not tried, 1 made, -1 failed
    output.write = [folder, ready](const CapturedFrame& frame, std::string& error) {
        if (*ready == 0) *ready = makeFolder(folder, error) ? 1 : -1;
        if (*ready < 0) {
            if (error.empty()) error = folder + ": cannot make the folder";
            return false;
        }
        char name[64];
        std::snprintf(name, sizeof name, "/frame_%06llu.png", static_cast<unsigned long long>(frame.number));
        return writePng(folder + name, frame, error);
    };
    output.finish = [](std::string&) { return true; };
    return output;
}

}  // namespace capture
