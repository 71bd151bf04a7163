// playback-compare: one line of scripts/playback-check's table. Reads a
// recording of the demo played in real time (raw 16-bit stereo, as parec
// writes it), the offline mix of the same build (demo-capture --wav) and
// demo-capture's timeline lines, and prints the gaps, the silence, the
// music's length against the mix and the lag at each cut. See analysis.h.
// A run whose sound server restarted is recorded in two parts: the second
// (--resumed) began --resumed-at seconds after the first; the two are
// compared as one, and a second line says how long after the server was back
// (--server-back-at, on the first part's time; the second part's start where
// not given) the sound came back.
#include "tools/playback/analysis.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const char* usage() {
    return "usage: playback-compare --recording RAW --mix WAV --timeline FILE [--label TEXT]\n"
           "                        [--resumed RAW --resumed-at SECONDS [--server-back-at SECONDS]]\n"
           "       playback-compare --header\n"
           "  RAW: 16-bit stereo little-endian at the mix's rate (parec --format=s16le)\n"
           "  WAV: demo-capture --wav of the same build; FILE: demo-capture's standard output\n"
           "  Status: 0 printed, 1 a file could not be read, 2 bad options.\n";
}

const char* const columns[] = {"run", "gaps", "silence", "longest", "first gap", "music", "vs mix",
                               "tunnel", "lens", "closing"};

void printHeader() {
    std::printf("%-32s %5s %10s %10s %10s %9s %8s %8s %8s %8s\n", columns[0], columns[1], columns[2],
                columns[3], columns[4], columns[5], columns[6], columns[7], columns[8], columns[9]);
}

std::string seconds(double value, bool sign = false) {
    char text[32];
    std::snprintf(text, sizeof text, sign ? "%+.3f s" : "%.3f s", value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::string recordingPath, mixPath, timelinePath, label = "run", resumedPath;
    double resumedAt = -1.0, serverBackAt = -1.0;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--header") {
            printHeader();
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "playback-compare: %s needs a value\n%s", name.c_str(), usage());
            return 2;
        }
        std::string value = argv[++i];
        if (name == "--recording") recordingPath = value;
        else if (name == "--mix") mixPath = value;
        else if (name == "--timeline") timelinePath = value;
        else if (name == "--label") label = value;
        else if (name == "--resumed") resumedPath = value;
        else if (name == "--resumed-at") resumedAt = std::atof(value.c_str());
        else if (name == "--server-back-at") serverBackAt = std::atof(value.c_str());
        else {
            std::fprintf(stderr, "playback-compare: unknown option %s\n%s", name.c_str(), usage());
            return 2;
        }
    }
    if (recordingPath.empty() || mixPath.empty() || timelinePath.empty() ||
        resumedPath.empty() != (resumedAt < 0.0)) {
        std::fputs(usage(), stderr);
        return 2;
    }
    playback::Sound mix, recording;
    std::string error;
    std::ifstream timeline(timelinePath);
    if (!timeline) {
        std::fprintf(stderr, "playback-compare: %s: cannot open the file\n", timelinePath.c_str());
        return 1;
    }
    const std::string lines((std::istreambuf_iterator<char>(timeline)), std::istreambuf_iterator<char>());
    if (!playback::readWave(mixPath, mix, error) || !playback::readRaw(recordingPath, mix.rate, recording, error)) {
        std::fprintf(stderr, "playback-compare: %s\n", error.c_str());
        return 1;
    }
    double backAfter = -1.0;
    if (!resumedPath.empty()) {
        playback::Sound resumed;
        if (!playback::readRaw(resumedPath, mix.rate, resumed, error)) {
            std::fprintf(stderr, "playback-compare: %s\n", error.c_str());
            return 1;
        }
        const playback::Span heard = playback::musicSpan(resumed);
        if (serverBackAt < 0.0) serverBackAt = resumedAt;
        if (heard.end > heard.first) backAfter = std::max(0.0, resumedAt + static_cast<double>(heard.first) / mix.rate - serverBackAt);
        recording = playback::joined(recording, resumed, static_cast<std::uint64_t>(resumedAt * mix.rate));
    }
    const playback::Report report = playback::compare(recording, mix, playback::cutsFromTimeline(lines));
    std::string lags[3] = {"-", "-", "-"};
    const char* names[3] = {"tunnel", "lens", "closing"};
    for (const playback::CutLag& lag : report.lags)
        for (int i = 0; i < 3; ++i)
            if (lag.name == names[i]) lags[i] = lag.found ? seconds(lag.seconds, true) : "not found";
    auto sayWhenBack = [&] {
        if (resumedPath.empty()) return;
        if (backAfter < 0.0) std::printf("%-32s   no sound after the server came back\n", "");
        else std::printf("%-32s   the sound came back %s after the server\n", "", seconds(backAfter).c_str());
    };
    if (!report.aligned) {
        std::printf("%-32s the music's start was not found in the recording (nothing played?)\n", label.c_str());
        sayWhenBack();
        return 0;
    }
    std::printf("%-32s %5zu %10s %10s %10s %9s %8s %8s %8s %8s\n", label.c_str(), report.gaps,
                seconds(report.silenceSeconds).c_str(), seconds(report.longestGapSeconds).c_str(),
                report.gaps ? seconds(report.firstGapSeconds).c_str() : "-",
                seconds(report.musicSeconds).c_str(), seconds(report.musicSeconds - report.mixSeconds, true).c_str(),
                lags[0].c_str(), lags[1].c_str(), lags[2].c_str());
    sayWhenBack();
    return 0;
}
