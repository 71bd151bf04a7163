// The video output through ffmpeg; see video_output.h.
#include "tools/capture/video_output.h"

#ifdef _WIN32

// Windows has no posix_spawn or pipes of this kind; the Windows build
// captures PNG frames and the mix, which ffmpeg joins as scripts/video does.
namespace capture {

std::string findFfmpeg() { return ""; }

FrameOutput videoOutput(const std::string&, int, const std::string&) { return FrameOutput{}; }

}  // namespace capture

#else

#include "app/sound/sound.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

extern char** environ;

namespace capture {
namespace {

struct Encoder {
    std::string ffmpeg, path, videoTemp, mixTemp;
    int fps = 60;
    pid_t pid = -1;
    int input = -1;  // the encoder's standard input
    int width = 0, height = 0;
    std::uint64_t frames = 0;
    bool failed = false;  // the encoder stopped or could not start
};

// Starts `args` (args[0] is the program). With `input`, the program's
// standard input is a pipe whose writing end is stored there. -1 when it
// cannot be started.
pid_t spawn(const std::vector<std::string>& args, int* input, std::string& error) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int channel[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input) {
        if (pipe2(channel, O_CLOEXEC) != 0) {
            error = std::string("no pipe to ffmpeg: ") + std::strerror(errno);
            posix_spawn_file_actions_destroy(&actions);
            return -1;
        }
        posix_spawn_file_actions_adddup2(&actions, channel[0], STDIN_FILENO);
    }
    pid_t pid = -1;
    int failed = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (input) close(channel[0]);
    if (failed != 0) {
        if (input) close(channel[1]);
        error = args[0] + ": cannot be started (" + std::strerror(failed) + ")";
        return -1;
    }
    if (input) *input = channel[1];
    return pid;
}

bool finished(pid_t pid, const std::string& what, std::string& error) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = what + ": lost track of ffmpeg (" + std::strerror(errno) + ")";
            return false;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    error = what + " failed (ffmpeg " +
            (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                               : "killed by signal " + std::to_string(WTERMSIG(status))) +
            "; its own message is above)";
    return false;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t put = write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool startEncoder(Encoder& e, const CapturedFrame& frame, std::string& error) {
    e.width = frame.width;
    e.height = frame.height;
    // H.264 in 4:2:0 needs even sizes: an odd one gets a black line added.
    const std::vector<std::string> args = {
        e.ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "rgb24",
        "-video_size", std::to_string(e.width) + "x" + std::to_string(e.height),
        "-framerate", std::to_string(e.fps), "-i", "pipe:0",
        "-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2",
        "-c:v", "libx264", "-preset", "fast", "-crf", "18", "-pix_fmt", "yuv420p",
        e.videoTemp};
    e.pid = spawn(args, &e.input, error);
    return e.pid > 0;
}

// Waits for the encoder, lays the mix under its video and removes the
// temporaries.
bool finishVideo(Encoder& e, std::string& error) {
    bool ok = true;
    if (e.input >= 0) close(e.input);
    e.input = -1;
    if (e.pid > 0) ok = finished(e.pid, e.path + ": encoding the frames", error);
    e.pid = -1;
    if (e.failed) {
        error = e.path + ": not made, the frames did not all reach ffmpeg";
        ok = false;
    }
    if (ok && e.frames == 0) {
        error = e.path + ": no frame was captured";
        ok = false;
    }
    if (ok && !sound::writeOfflineWave(e.mixTemp.c_str())) {
        error = e.path + ": the mix cannot be written (" + sound::lastError() + ")";
        ok = false;
    }
    if (ok) {
        // The file's own clock ticks at whole samples and whole frames
        // (MP4's default of 1 ms would cut the sound's length short by a
        // fraction of a millisecond).
        const long rate = sound::outputRate();
        const long timescale = rate * e.fps / std::gcd(rate, static_cast<long>(e.fps));
        const std::vector<std::string> args = {
            e.ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
            "-i", e.videoTemp, "-i", e.mixTemp,
            "-map", "0:v:0", "-map", "1:a:0",
            "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
            "-movie_timescale", std::to_string(timescale),
            "-movflags", "+faststart", e.path};
        pid_t pid = spawn(args, nullptr, error);
        ok = pid > 0 && finished(pid, e.path + ": adding the sound", error);
    }
    std::remove(e.videoTemp.c_str());
    std::remove(e.mixTemp.c_str());
    return ok;
}

}  // namespace

std::string findFfmpeg() {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t colon = folders.find(':', start);
        std::string folder = folders.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/ffmpeg";
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return "";
}

FrameOutput videoOutput(const std::string& path, int fps, const std::string& ffmpeg) {
    // A dead encoder must show as a failed write, not end the capture.
    signal(SIGPIPE, SIG_IGN);
    auto e = std::make_shared<Encoder>();
    e->ffmpeg = ffmpeg;
    e->path = path;
    e->fps = fps;
    e->videoTemp = path + ".video.mp4";
    e->mixTemp = path + ".mix.wav";

    FrameOutput output;
    output.name = "video";
    output.write = [e](const CapturedFrame& frame, std::string& error) {
        if (e->failed) return false;  // said at the first failure
        if (e->pid < 0 && !startEncoder(*e, frame, error)) {
            e->failed = true;
            return false;
        }
        if (frame.width != e->width || frame.height != e->height) {
            error = e->path + ": the frames changed size";
            e->failed = true;
            return false;
        }
        if (!writeAll(e->input, frame.rgb, static_cast<std::size_t>(frame.width) * frame.height * 3)) {
            error = e->path + ": ffmpeg stopped taking frames";
            close(e->input);
            e->input = -1;
            std::string ignored;
            finished(e->pid, e->path, ignored);
            e->pid = -1;
            e->failed = true;
            return false;
        }
        e->frames++;
        return true;
    };
    output.finish = [e](std::string& error) { return finishVideo(*e, error); };
    return output;
}

}  // namespace capture

#endif
