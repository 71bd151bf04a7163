// demo-capture, run as the program it is: which frames it writes, at what
// size, what it prints, that two captures of the same moments are the same,
// and how it refuses what it does not understand.
#include "support/programs.h"
#include "support/servers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Result = CommandResult;

// Runs demo-capture with `arguments` (stderr left to the test's log).
Result runCapture(const std::string& arguments) {
    return runCommand(builtProgram("tools/capture/demo-capture") + " " + arguments);
}

// A new folder in one of the process's own, removed when the process ends.
std::string scratch() {
    static const ScratchDirectory root;
    std::string pattern = root.path + "/capture-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    return made ? made : root.path;
}

std::vector<char> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string frameFile(const std::string& folder, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06d.png", number);
    return folder + name;
}

// Width and height from a PNG's header chunk.
std::pair<int, int> pngSize(const std::string& path) {
    std::vector<char> bytes = readAll(path);
    if (bytes.size() < 24) return {0, 0};
    auto at = [&bytes](std::size_t i) {
        return (static_cast<unsigned char>(bytes[i]) << 24) | (static_cast<unsigned char>(bytes[i + 1]) << 16) |
               (static_cast<unsigned char>(bytes[i + 2]) << 8) | static_cast<unsigned char>(bytes[i + 3]);
    };
    return {at(16), at(20)};
}

}  // namespace

TEST(Capture, WritesTheListedFramesAndStopsAfterTheLast) {
    const std::string folder = scratch() + "/pictures";
    Result result = runCapture("--frames 0,3,7-9 --out " + folder);
    ASSERT_EQ(result.status, 0) << result.out;
    for (int frame = 0; frame < 12; ++frame) {
        bool wanted = frame == 0 || frame == 3 || (frame >= 7 && frame <= 9);
        EXPECT_EQ(exists(frameFile(folder, frame)), wanted) << frame;
    }
    EXPECT_EQ(pngSize(frameFile(folder, 3)), std::make_pair(640, 480));
    // The first scene begins at frame 0, time 0 (after the start-up's own
    // lines: the clock line, the solids' progress); ten frames were drawn.
    std::size_t firstScene = result.out.find("scene ");
    EXPECT_EQ(result.out.find("scene 0 frame 0 time 0.000000 order 0 row 0"), firstScene) << result.out;
    EXPECT_NE(firstScene, std::string::npos);
    EXPECT_NE(result.out.find("end frame 10 time 0.166667\n"), std::string::npos) << result.out;
}

TEST(Capture, EveryNthFrameAtTheRequestedSizeAndRate) {
    const std::string folder = scratch();
    Result result = runCapture("--size 320x200 --fps 30 --every 4 --seconds 0.5 --out " + folder);
    ASSERT_EQ(result.status, 0) << result.out;
    for (int frame = 0; frame < 16; ++frame)
        EXPECT_EQ(exists(frameFile(folder, frame)), frame % 4 == 0 && frame < 15) << frame;
    EXPECT_EQ(pngSize(frameFile(folder, 8)), std::make_pair(320, 200));
    EXPECT_NE(result.out.find("end frame 15 time 0.500000\n"), std::string::npos) << result.out;
}

TEST(Capture, TwoCapturesOfTheSameMomentsAreIdentical) {
    const std::string first = scratch(), second = scratch();
    Result a = runCapture("--frames 0-4,20 --out " + first + " --wav " + first + "/mix.wav");
    Result b = runCapture("--frames 0-4,20 --out " + second + " --wav " + second + "/mix.wav");
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(b.status, 0);
    EXPECT_EQ(a.out, b.out);
    for (int frame : {0, 1, 2, 3, 4, 20}) {
        std::vector<char> one = readAll(frameFile(first, frame));
        ASSERT_FALSE(one.empty()) << frame;
        EXPECT_EQ(one, readAll(frameFile(second, frame))) << frame;
    }
    std::vector<char> mix = readAll(first + "/mix.wav");
    ASSERT_GE(mix.size(), 44u);
    EXPECT_EQ(std::string(mix.begin(), mix.begin() + 4), "RIFF");
    EXPECT_EQ(mix, readAll(second + "/mix.wav"));
}

TEST(Capture, RefusesWhatItDoesNotUnderstand) {
    for (const char* arguments : {"--size 12", "--size 640x", "--fps 0", "--frames 5-2 --out /tmp",
                                  "--frames 3", "--every 0 --out /tmp", "--seconds -1", "--bogus 1",
                                  "--wav", "--chdir /nonexistent/folder"}) {
        SCOPED_TRACE(arguments);
        Result result = runCapture(std::string(arguments) + " 2>/dev/null");
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
    }
    Result help = runCapture("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--frames"), std::string::npos);
}

TEST(Capture, APictureThatCannotBeWrittenFailsTheCapture) {
    const std::string folder = scratch();
    std::ofstream(folder + "/file") << "in the way";
    Result result = runCapture("--frames 1 --out " + folder + "/file/pictures 2>/dev/null");
    EXPECT_EQ(result.status, 3);
}
