// demo-capture --video: a short clip through ffmpeg has every frame at 60
// per second and the mix under it, both exactly as long; without ffmpeg the
// tool says so and makes nothing. The clip test is skipped where ffmpeg is
// not installed (it is installed only when asked for: scripts/video).
#include "support/programs.h"
#include "support/servers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace {

std::string capturePath() { return builtProgram("tools/capture/demo-capture"); }

using Result = CommandResult;

Result run(const std::string& command) { return runCommand(command); }

bool onPath(const char* program) { return run(std::string("command -v ") + program + " >/dev/null").status == 0; }

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// A new folder in one of the process's own, removed when the process ends.
std::string scratch() {
    static const ScratchDirectory root;
    std::string pattern = root.path + "/video-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    return made ? made : root.path;
}

// "key=value" lines of one ffprobe section per stream, by codec type.
std::map<std::string, std::map<std::string, std::string>> probeStreams(const std::string& path) {
    Result probe = run("ffprobe -v error -show_entries "
                       "stream=codec_type,codec_name,width,height,r_frame_rate,nb_frames,duration,sample_rate,"
                       "channels,start_time -of default=noprint_wrappers=0 '" +
                       path + "'");
    std::map<std::string, std::map<std::string, std::string>> streams;
    std::map<std::string, std::string> current;
    std::istringstream lines(probe.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "[/STREAM]") {
            streams[current["codec_type"]] = current;
            current.clear();
            continue;
        }
        std::size_t equals = line.find('=');
        if (equals != std::string::npos) current[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return streams;
}

}  // namespace

TEST(Video, ClipHasEveryFrameAt60PerSecondAndTheMixExactlyAsLong) {
    if (!onPath("ffmpeg") || !onPath("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed (scripts/video installs it)";
    const std::string folder = scratch();
    const std::string video = folder + "/clip.mp4";
    // An odd size: H.264 takes it padded to even.
    Result capture = run(capturePath() + " --size 161x121 --max-frames 30 --video " + video + " 2>&1");
    ASSERT_EQ(capture.status, 0) << capture.out;
    ASSERT_TRUE(exists(video));
    // Nothing of the way there is left behind.
    EXPECT_FALSE(exists(video + ".video.mp4"));
    EXPECT_FALSE(exists(video + ".mix.wav"));

    auto streams = probeStreams(video);
    ASSERT_EQ(streams.count("video"), 1u);
    ASSERT_EQ(streams.count("audio"), 1u);
    auto& v = streams["video"];
    auto& a = streams["audio"];
    EXPECT_EQ(v["codec_name"], "h264");
    EXPECT_EQ(v["width"], "162");
    EXPECT_EQ(v["height"], "122");
    EXPECT_EQ(v["r_frame_rate"], "60/1");
    EXPECT_EQ(v["nb_frames"], "30");
    EXPECT_DOUBLE_EQ(std::atof(v["start_time"].c_str()), 0.0);
    EXPECT_DOUBLE_EQ(std::atof(v["duration"].c_str()), 0.5);
    EXPECT_EQ(a["sample_rate"], "44100");
    EXPECT_EQ(a["channels"], "2");
    EXPECT_DOUBLE_EQ(std::atof(a["start_time"].c_str()), 0.0);
    // 30 frames x 735 samples: the sound ends with the last frame.
    EXPECT_DOUBLE_EQ(std::atof(a["duration"].c_str()), 0.5);
    std::remove(video.c_str());
    rmdir(folder.c_str());
}

TEST(Video, WithoutFfmpegSaysSoAndMakesNothing) {
    const std::string folder = scratch();
    const std::string video = folder + "/clip.mp4";
    // A PATH with no ffmpeg on it.
    Result capture = run("PATH=" + folder + " " + capturePath() + " --max-frames 3 --video " + video + " 2>&1");
    EXPECT_EQ(capture.status, 2);
    EXPECT_NE(capture.out.find("--video needs ffmpeg"), std::string::npos) << capture.out;
    EXPECT_EQ(capture.out.find("scene 0"), std::string::npos) << "the demo ran: " << capture.out;
    EXPECT_FALSE(exists(video));
    rmdir(folder.c_str());
}

TEST(Video, NeedsAFileName) {
    Result capture = run(capturePath() + " --video 2>&1");
    EXPECT_EQ(capture.status, 2);
    EXPECT_NE(capture.out.find("--video needs a value"), std::string::npos) << capture.out;
}
