// Every data file, one at a time, missing, cut to half its length, and
// replaced by as many random bytes: the whole demo runs through demo-capture
// (its own start-up and timeline, on the virtual clock, in a tiny window) in
// a copy of data/ where only that one file is damaged. Each case must say
// which file is wrong and how, never die of a signal or a sanitizer report,
// and either play the timeline to its own end (the closing stretch, then the
// demo's quit) or stop with the status the table gives.
//
// "Never waits forever" is checked twice over: the run has a frame cap well
// past the timeline's end (a wait that never ends shows as a run stopped by
// the cap), and a wall-clock bound after which the run is killed.
//
// The table is the one in docs/DEMO.md, "Missing and damaged data".
#include "demo/data_files.h"
#include "support/programs.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum class Damage { none, missing, half, garbage };

struct Case {
    const char* file;  // under data/
    Damage damage;
    int status;        // the run's exit status
    // What the run must say (on stdout or stderr); each names the file.
    std::vector<std::string> says;
};

// Runs draw 20 frames a second of the virtual clock (a third of the work of
// 60, the same timeline: its waits are on the music). The timeline ends by
// itself at frame 2445 (122 s); a run that reaches the cap (150 s) has
// waited on something that never came.
constexpr int framesPerSecond = 20;
constexpr int frameCap = 3000;
constexpr auto wallBound = std::chrono::seconds(240);  // generous for sanitizer builds

const std::string notice = "demo-capture: notice: ";
const std::string conversion = notice + "Image file conversion error.";
const std::string unknownDib = notice + "Unknown DIB file format.";
const std::string tgaShort = "File too short for its picture (the rest is black) - ";

// The messages with every data file as the generator writes it; a garbage
// file's message is what its first bytes happen to say (the bytes are the
// same on every run).
const std::vector<Case> cases = {
    {"orbita.s3m", Damage::none, 0, {}},

    {"orbita.s3m", Damage::missing, 1, {notice + "Cannot load data/orbita.s3m: No such file or directory"}},
    {"orbita.s3m", Damage::half, 0,
     {notice + "data/orbita.s3m ends at byte 513760 before its module does: 7 of its 15 samples"}},
    {"orbita.s3m", Damage::garbage, 1, {notice + "Cannot load data/orbita.s3m: not a playable S3M module"}},

    {"1.wav", Damage::missing, 1, {notice + "Cannot load data/1.wav: No such file or directory"}},
    {"1.wav", Damage::half, 1,
     {notice + "Cannot play data/1.wav: it holds 746376 bytes of sound, and the demo plays it up to "
               "byte 1140000"}},
    {"1.wav", Damage::garbage, 1, {notice + "Cannot load data/1.wav: not a playable WAV file"}},

    {"2.wav", Damage::missing, 1, {notice + "Cannot load data/2.wav: No such file or directory"}},
    {"2.wav", Damage::half, 1,
     {notice + "Cannot play data/2.wav: it holds 119976 bytes of sound, and the demo plays it up to "
               "byte 240000"}},
    {"2.wav", Damage::garbage, 1, {notice + "Cannot load data/2.wav: not a playable WAV file"}},

    {"lens.cg", Damage::missing, 0, {"data/lens.cg: cannot open the file (No such file or directory)"}},
    {"lens.cg", Damage::half, 0, {"data/lens.cg: the fragment program does not compile:"}},
    {"lens.cg", Damage::garbage, 0, {"data/lens.cg: the fragment program does not compile:"}},

    {"twist.cg", Damage::missing, 0, {"data/twist.cg: cannot open the file (No such file or directory)"}},
    {"twist.cg", Damage::half, 0, {"data/twist.cg: the vertex program does not compile:"}},
    {"twist.cg", Damage::garbage, 0, {"data/twist.cg: the vertex program does not compile:"}},

    {"distort.cg", Damage::missing, 1, {"data/distort.cg: cannot open the file (No such file or directory)"}},
    {"distort.cg", Damage::half, 1, {"data/distort.cg: the vertex program does not compile:"}},
    {"distort.cg", Damage::garbage, 1, {"data/distort.cg: the vertex program does not compile:"}},

    {"atomic2.bmp", Damage::missing, 0, {notice + "Failed to open DIB file data/atomic2.bmp."}},
    {"atomic2.bmp", Damage::half, 0, {"data/atomic2.bmp: the pixel rows run past the end of the file", conversion}},
    {"atomic2.bmp", Damage::garbage, 0, {"data/atomic2.bmp: the bitmap header is neither", unknownDib}},

    {"lensblue.bmp", Damage::missing, 0, {notice + "Failed to open DIB file data/lensblue.bmp."}},
    {"lensblue.bmp", Damage::half, 0, {"data/lensblue.bmp: the pixel rows run past the end of the file", conversion}},
    {"lensblue.bmp", Damage::garbage, 0, {"data/lensblue.bmp: the bitmap header is neither", unknownDib}},

    {"cool.bmp", Damage::missing, 0, {notice + "Failed to open DIB file data/cool.bmp."}},
    {"cool.bmp", Damage::half, 0, {"data/cool.bmp: the pixel rows run past the end of the file", conversion}},
    {"cool.bmp", Damage::garbage, 0, {"data/cool.bmp: the bitmap header is neither", unknownDib}},

    {"ff.bmp", Damage::missing, 0, {notice + "Failed to open DIB file data/ff.bmp."}},
    {"ff.bmp", Damage::half, 0, {"data/ff.bmp: the pixel rows run past the end of the file", conversion}},
    {"ff.bmp", Damage::garbage, 0, {"data/ff.bmp: the bitmap header is neither", unknownDib}},

    {"schach.tga", Damage::missing, 0, {"File not found - data/schach.tga"}},
    {"schach.tga", Damage::half, 0, {tgaShort + "data/schach.tga"}},
    {"schach.tga", Damage::garbage, 0, {"Unsupported image type - data/schach.tga"}},

    {"kratzer.tga", Damage::missing, 0, {"File not found - data/kratzer.tga"}},
    {"kratzer.tga", Damage::half, 0, {tgaShort + "data/kratzer.tga"}},
    {"kratzer.tga", Damage::garbage, 0, {"Unsupported image type - data/kratzer.tga"}},

    {"amber_kite_nuts.tga", Damage::missing, 0, {"File not found - data/amber_kite_nuts.tga"}},
    {"amber_kite_nuts.tga", Damage::half, 0, {tgaShort + "data/amber_kite_nuts.tga"}},
    {"amber_kite_nuts.tga", Damage::garbage, 0, {"Unsupported image type - data/amber_kite_nuts.tga"}},

    {"tetrahed.txt", Damage::missing, 1, {"error opening data/tetrahed.txt"}},
    {"tetrahed.txt", Damage::half, 1, {"error in data/tetrahed.txt: the edge from vertex 0 to vertex 3 borders one face only"}},
    {"tetrahed.txt", Damage::garbage, 1, {"error in data/tetrahed.txt: no vertices"}},

    {"hexahed.txt", Damage::missing, 1, {"error opening data/hexahed.txt"}},
    {"hexahed.txt", Damage::half, 1, {"error in data/hexahed.txt: the edge from vertex 0 to vertex 1 borders one face only"}},
    {"hexahed.txt", Damage::garbage, 1, {"error in data/hexahed.txt: no vertices"}},

    {"octahed.txt", Damage::missing, 1, {"error opening data/octahed.txt"}},
    {"octahed.txt", Damage::half, 1, {"error in data/octahed.txt: the edge from vertex 1 to vertex 2 borders one face only"}},
    {"octahed.txt", Damage::garbage, 1, {"error in data/octahed.txt: no vertices"}},

    {"dodecahed.txt", Damage::missing, 1, {"error opening data/dodecahed.txt"}},
    {"dodecahed.txt", Damage::half, 1, {"error in data/dodecahed.txt, line 6: a corner needs three numbers"}},
    {"dodecahed.txt", Damage::garbage, 1, {"error in data/dodecahed.txt: no vertices"}},

    {"icosahed.txt", Damage::missing, 1, {"error opening data/icosahed.txt"}},
    {"icosahed.txt", Damage::half, 1, {"error in data/icosahed.txt: the edge from vertex 1 to vertex 5 borders one face only"}},
    {"icosahed.txt", Damage::garbage, 1, {"error in data/icosahed.txt: no vertices"}},
};

fs::path sourceData() {
    const char* source = std::getenv("DEMO_SOURCE_DIR");
    return fs::path(source ? source : ".") / "data";
}

std::string capturePath() { return builtProgram("tools/capture/demo-capture"); }

std::vector<char> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A folder whose data/ links every file to the real one but the damaged one.
struct DamagedCopy {
    fs::path root;
    DamagedCopy(const Case& c) {
        char pattern[] = "/tmp/bad-data-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directory(root / "data");
        for (const std::string& name : demoDataFiles()) {
            const fs::path original = sourceData() / name;
            const fs::path copy = root / "data" / name;
            if (c.damage == Damage::none || c.file != std::string(name)) {
                fs::create_symlink(fs::absolute(original), copy);
                continue;
            }
            std::vector<char> bytes = readAll(original);
            if (c.damage == Damage::half) {
                bytes.resize(bytes.size() / 2);
            } else if (c.damage == Damage::garbage) {
                // The engine's output is the same everywhere (unlike the
                // library's distributions), so each file gets the same bytes.
                std::mt19937 engine(static_cast<std::uint32_t>(bytes.size()));
                for (char& byte : bytes) byte = static_cast<char>(engine() & 0xFF);
            }
            if (c.damage != Damage::missing) writeAll(copy, bytes);
        }
    }
    ~DamagedCopy() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

struct CaptureRun {
    bool finished = false;  // ended by itself within the wall bound
    bool signalled = false;
    int status = -1;
    int signal = 0;
    std::string out, err;
};

// demo-capture over the whole timeline in `folder`, stdout and stderr to
// files there; killed when it outlives the wall bound.
CaptureRun runCapture(const fs::path& folder) {
    CaptureRun run;
    const std::string outPath = (folder / "stdout").string(), errPath = (folder / "stderr").string();
    const std::string capture = capturePath(), chdirTo = folder.string(), cap = std::to_string(frameCap),
                      fps = std::to_string(framesPerSecond);
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0) _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        execl(capture.c_str(), capture.c_str(), "--chdir", chdirTo.c_str(), "--size", "64x48", "--fps",
              fps.c_str(), "--max-frames", cap.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child < 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + wallBound;
    int raw = 0;
    for (;;) {
        pid_t done = waitpid(child, &raw, WNOHANG);
        if (done == child) {
            run.finished = true;
            break;
        }
        if (done < 0 || std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &raw, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.signalled = WIFSIGNALED(raw);
    run.signal = run.signalled ? WTERMSIG(raw) : 0;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::vector<char> out = readAll(outPath), err = readAll(errPath);
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

const char* damageName(Damage damage) {
    switch (damage) {
    case Damage::none: return "intact";
    case Damage::missing: return "missing";
    case Damage::half: return "half";
    case Damage::garbage: return "garbage";
    }
    return "?";
}

// What a failing case prints as its parameter.
void PrintTo(const Case& c, std::ostream* os) {
    if (c.damage == Damage::none) *os << "every file intact";
    else *os << c.file << ' ' << damageName(c.damage);
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    if (info.param.damage == Damage::none) return "AllIntact";
    std::string name = std::string(info.param.file) + "_" + damageName(info.param.damage);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

// The frame number of the run's "end frame N" line; -1 without one.
long endFrame(const std::string& out) {
    std::size_t at = out.rfind("end frame ");
    return at == std::string::npos ? -1 : std::strtol(out.c_str() + at + 10, nullptr, 10);
}

struct DamagedData : ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(DamagedData, SaysWhichFileAndWhatIsWrongAndNeverHangsOrCrashes) {
    const Case& c = GetParam();
    ASSERT_TRUE(fs::exists(capturePath())) << capturePath() << " is not built";
    DamagedCopy copy(c);
    CaptureRun run = runCapture(copy.root);
    const std::string all = run.out + run.err;
    SCOPED_TRACE("stdout:\n" + run.out.substr(0, 2000) + "\nstderr:\n" + run.err.substr(0, 2000));

    ASSERT_TRUE(run.finished) << "still running after the wall bound: killed";
    ASSERT_FALSE(run.signalled) << "died of signal " << run.signal;
    for (const char* report : {"AddressSanitizer", "LeakSanitizer", "runtime error:"})
        EXPECT_EQ(all.find(report), std::string::npos) << "a sanitizer report: " << report;
    EXPECT_EQ(run.status, c.status);
    for (const std::string& text : c.says) EXPECT_NE(all.find(text), std::string::npos) << "missing: " << text;

    // Whatever else happened, no wait held the timeline until the cap.
    EXPECT_LT(endFrame(run.out), frameCap) << "the timeline waited until the frame cap";
    if (c.status == 0) {
        // Played to the closing stretch and ended by the demo's own quit.
        EXPECT_NE(run.out.find("scene -1 frame"), std::string::npos);
        EXPECT_GT(endFrame(run.out), 0);
    } else {
        // Stopped at start-up: not one frame of the timeline drawn.
        EXPECT_EQ(run.out.find("scene 0 frame"), std::string::npos);
    }
    if (c.damage == Damage::none) {
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.find(" - data/"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFile, DamagedData, ::testing::ValuesIn(cases), caseName);
