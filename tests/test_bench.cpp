// demo-bench: a short run prints every scene's figures and writes the same
// as JSON of the promised shape; the statistics and the JSON writer on their
// own; the options it refuses. No timing is asserted: speed is what the
// bench measures, not what a test on a shared machine can promise.
#include "support/programs.h"
#include "tools/bench/bench.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// ---- a small JSON reader, enough to check the shape ------------------------

struct Json {
    enum Kind { null, boolean, number, string, array, object } kind = null;
    double value = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> fields;

    const Json& operator[](const std::string& name) const {
        static const Json missing;
        auto found = fields.find(name);
        return found == fields.end() ? missing : found->second;
    }
    bool has(const std::string& name) const { return fields.count(name) != 0; }
};

struct Reader {
    const std::string& s;
    std::size_t at = 0;
    bool ok = true;

    void space() {
        while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at]))) ++at;
    }
    bool take(char c) {
        space();
        if (at < s.size() && s[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    std::string quoted() {
        std::string out;
        if (!take('"')) return ok = false, out;
        while (at < s.size() && s[at] != '"') {
            char c = s[at++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at >= s.size()) break;
            char e = s[at++];
            if (e == 'u' && at + 4 <= s.size()) {
                out += static_cast<char>(std::strtol(s.substr(at, 4).c_str(), nullptr, 16));
                at += 4;
            } else {
                out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
            }
        }
        if (!take('"')) ok = false;
        return out;
    }
    Json value() {
        Json v;
        space();
        if (at >= s.size()) return ok = false, v;
        char c = s[at];
        if (c == '{') {
            v.kind = Json::object;
            ++at;
            if (take('}')) return v;
            do {
                std::string name = quoted();
                if (!take(':')) ok = false;
                v.fields[name] = value();
            } while (ok && take(','));
            if (!take('}')) ok = false;
        } else if (c == '[') {
            v.kind = Json::array;
            ++at;
            if (take(']')) return v;
            do v.items.push_back(value());
            while (ok && take(','));
            if (!take(']')) ok = false;
        } else if (c == '"') {
            v.kind = Json::string;
            v.text = quoted();
        } else if (s.compare(at, 4, "null") == 0) {
            at += 4;
        } else if (s.compare(at, 4, "true") == 0 || s.compare(at, 5, "false") == 0) {
            v.kind = Json::boolean;
            v.value = s[at] == 't';
            at += s[at] == 't' ? 4 : 5;
        } else {
            char* end = nullptr;
            v.kind = Json::number;
            v.value = std::strtod(s.c_str() + at, &end);
            if (end == s.c_str() + at) ok = false;
            at = static_cast<std::size_t>(end - s.c_str());
        }
        return v;
    }
};

bool parseJson(const std::string& text, Json& out) {
    Reader reader{text};
    out = reader.value();
    reader.space();
    return reader.ok && reader.at == text.size();
}

// ---- running the bench -------------------------------------------------------

using Result = CommandResult;

Result runBench(const std::string& arguments) {
    return runCommand(builtProgram("tools/bench/demo-bench") + " " + arguments);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::vector<std::string> kScenes = {
    "polyhedra 1: logo",   "polyhedra 2: tilt",    "polyhedra 3: floor",        "polyhedra 4: bouncing",
    "polyhedra 5: growing", "polyhedra 6: riding",  "polyhedra 7: lagging",      "zoom tunnel",
    "lens on: wandering",  "lens on: zooming out", "lens on: twisted, falling", "lens off: fast zoom",
    "closing stretch"};

bool isNumber(const Json& v) { return v.kind == Json::number; }

}  // namespace

TEST(Bench, ShortRunPrintsEverySceneAndWritesTheSameAsJson) {
    char folder[] = "/tmp/demo-bench-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string json = std::string(folder) + "/bench.json";
    Result result = runBench("--frames 3 --launches 1 --json " + json + " 2>/dev/null");
    ASSERT_EQ(result.status, 0) << result.out;

    // The table: one line per scene, in the timeline's order, then the rest.
    std::size_t at = result.out.find("median ms");
    ASSERT_NE(at, std::string::npos) << result.out;
    for (const std::string& name : kScenes) {
        std::size_t line = result.out.find("\n" + name + " ", at);
        ASSERT_NE(line, std::string::npos) << name << "\n" << result.out;
        at = line + 1;
    }
    for (const char* line : {"launch to first frame:", "sound mixing:", "peak memory (VmHWM):", "machine:"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line;

    Json root;
    ASSERT_TRUE(parseJson(readAll(json), root)) << readAll(json);
    EXPECT_EQ(root["width"].value, 1024);
    EXPECT_EQ(root["height"].value, 768);
    EXPECT_EQ(root["frames_per_scene"].value, 3);
    EXPECT_FALSE(root["machine"]["renderer"].text.empty());
    EXPECT_GE(root["machine"]["cores"].value, 1);
    EXPECT_NE(root["sound_output"].text.find("dummy"), std::string::npos) << root["sound_output"].text;

    const Json& scenes = root["scenes"];
    ASSERT_EQ(scenes.items.size(), kScenes.size());
    for (std::size_t i = 0; i < kScenes.size(); ++i) {
        const Json& s = scenes.items[i];
        SCOPED_TRACE(kScenes[i]);
        EXPECT_EQ(s["name"].text, kScenes[i]);
        EXPECT_EQ(s["frames"].value, 3);
        for (const char* field : {"median_ms", "p99_ms", "worst_ms", "fps", "cpu_ms_per_frame"})
            EXPECT_TRUE(isNumber(s[field])) << field;
        EXPECT_GT(s["median_ms"].value, 0);
        EXPECT_LE(s["median_ms"].value, s["p99_ms"].value);
        EXPECT_LE(s["p99_ms"].value, s["worst_ms"].value);
        EXPECT_GT(s["fps"].value, 0);
    }

    const Json& launch = root["launch"];
    EXPECT_EQ(launch["launches"].value, 1);
    EXPECT_EQ(launch["error"].kind, Json::null);
    // The stamps come in the order the program reaches them.
    EXPECT_GT(launch["main_ms"].value, 0);
    EXPECT_LE(launch["main_ms"].value, launch["startup_begun_ms"].value);
    EXPECT_LE(launch["startup_begun_ms"].value, launch["startup_done_ms"].value);
    EXPECT_LE(launch["startup_done_ms"].value, launch["first_frame_ms"].value);
    EXPECT_GT(launch["cpu_ms"].value, 0);
    // And once more with an empty shader cache, as on a machine's first launch.
    EXPECT_GT(launch["cold_first_frame_ms"].value, 0);
    EXPECT_GT(launch["cold_cpu_ms"].value, 0);

    const Json& mixing = root["mixing"];
    EXPECT_EQ(mixing["error"].kind, Json::null);
    EXPECT_GT(mixing["layer_ms"].value, 0);
    EXPECT_GT(mixing["openmpt_ms"].value, 0);
    EXPECT_GT(mixing["module_seconds"].value, 0);
    // The comparison player renders up to the layer's half second ahead in
    // each of its two stretches (polyhedra, lens).
    EXPECT_GE(mixing["sound_seconds"].value, mixing["module_seconds"].value - 1.0);
    EXPECT_NEAR(mixing["ratio"].value, mixing["layer_ms"].value / mixing["openmpt_ms"].value, 0.01);

    EXPECT_GT(root["peak_memory_kib"].value, 0);
    EXPECT_EQ(root["demo_peak_memory_kib"].value,
              root["peak_memory_kib"].value - root["comparison_player_kib"].value);
    EXPECT_TRUE(root.has("load_average"));
    std::remove(json.c_str());
    rmdir(folder);
}

TEST(Bench, RunsAtTheSizeAskedForUnpaced) {
    char folder[] = "/tmp/demo-bench-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string json = std::string(folder) + "/bench.json";
    Result result = runBench("--size 320x240 --frames 2 --launches 1 --json " + json + " 2>/dev/null");
    ASSERT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("demo-bench: 320 x 240 window, 2 frames a scene, unpaced (vertical sync off)"),
              std::string::npos)
        << result.out;
    Json root;
    ASSERT_TRUE(parseJson(readAll(json), root)) << readAll(json);
    EXPECT_EQ(root["width"].value, 320);
    EXPECT_EQ(root["height"].value, 240);
    // The launch probes ran as well.
    EXPECT_EQ(root["launch"]["error"].kind, Json::null);
    std::remove(json.c_str());
    rmdir(folder);
}

TEST(Bench, RefusesWhatItDoesNotUnderstand) {
    for (const char* arguments : {"--fast", "--frames", "--frames 0", "--frames x", "--launches -1", "--size 320",
                                  "--size 10x240", "--size 320x", "--size 320x240x2"}) {
        Result result = runBench(std::string(arguments) + " 2>&1");
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_NE(result.out.find("usage: demo-bench"), std::string::npos) << arguments;
    }
    Result help = runBench("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--json FILE"), std::string::npos);
}

TEST(BenchStatistics, MedianNearestRankP99WorstAndRate) {
    bench::SceneResult scene{"s", {}, 0};
    for (int i = 100; i >= 1; --i) scene.frameMs.push_back(i);  // order must not matter
    scene.cpuMs = 500;
    bench::SceneStats stats = bench::statsOf(scene);
    EXPECT_EQ(stats.frames, 100);
    EXPECT_DOUBLE_EQ(stats.medianMs, 50.5);
    EXPECT_DOUBLE_EQ(stats.p99Ms, 99);  // 99 of the 100 frames take at most this
    EXPECT_DOUBLE_EQ(stats.worstMs, 100);
    EXPECT_DOUBLE_EQ(stats.fps, 1000.0 * 100 / 5050);
    EXPECT_DOUBLE_EQ(stats.cpuMsPerFrame, 5);

    // With few frames the p99 is the worst one.
    bench::SceneStats few = bench::statsOf(bench::SceneResult{"few", {3, 1, 2}, 0});
    EXPECT_DOUBLE_EQ(few.medianMs, 2);
    EXPECT_DOUBLE_EQ(few.p99Ms, 3);

    bench::SceneStats none = bench::statsOf(bench::SceneResult{"none", {}, 0});
    EXPECT_EQ(none.frames, 0);
    EXPECT_EQ(none.fps, 0);
}

TEST(BenchJson, EscapesTheMachinesTextsAndWritesUnmeasuredFiguresAsNull) {
    bench::Report report;
    report.machine.cpu = "CPU \"quoted\" \\ back\tslash";
    report.machine.renderer = "llvmpipe";
    report.scenes.push_back(bench::statsOf(bench::SceneResult{"zoom tunnel", {10, 20}, 30}));
    report.mixing.error = "not measured";
    char folder[] = "/tmp/demo-bench-json-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/b.json";
    std::string error;
    ASSERT_TRUE(bench::writeJson(report, path, error)) << error;
    Json root;
    ASSERT_TRUE(parseJson(readAll(path), root)) << readAll(path);
    EXPECT_EQ(root["machine"]["cpu"].text, report.machine.cpu);
    EXPECT_EQ(root["scenes"].items.at(0)["median_ms"].value, 15);
    EXPECT_EQ(root["launch"]["first_frame_ms"].kind, Json::null);  // no launch was measured
    EXPECT_EQ(root["mixing"]["error"].text, "not measured");
    EXPECT_FALSE(bench::writeJson(report, std::string(folder) + "/missing/b.json", error));
    EXPECT_NE(error.find("missing/b.json"), std::string::npos);
    std::remove(path.c_str());
    rmdir(folder);
}
