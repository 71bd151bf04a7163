// Scene 0's set-up, run in a folder of the test's own with its own data
// files: the ways it ends the process (a distort program that does not
// compile or is missing, a driver without one of the multitexture entry
// points) with their lines on standard output and status 1, and a successful
// set-up: what it writes in which order, the mark, the solids, the textures
// and the GL state it leaves.
#include "app/clock.h"
#include "app/gl.h"
#include "app/shader/shader.h"
#include "assets/polyhedron.h"
#include "demo/demo_state.h"
#include "scenes/polyhedra/polyhedra.h"
#include "support/test_window.h"
#include "test_polyhedra_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace polytest;
namespace fs = std::filesystem;

namespace {

// A data folder of this test process's own, gone at exit.
struct DataFolder {
    fs::path root = fs::temp_directory_path() / ("demo_polyhedra_setup_" + std::to_string(getpid()));
    DataFolder() { fs::create_directories(root / "data"); }
    ~DataFolder() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(root / "data" / name, std::ios::binary) << text;
    }
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string sourceDir() {
    const char* dir = std::getenv("DEMO_SOURCE_DIR");
    return dir ? dir : ".";
}

// A solid as a description file: one line of "{x, y, z}" groups per face.
std::string describe(Polyhedron* made) {
    Solid solid(made);
    std::string text;
    char group[96];
    for (int f = 0; f < solid->faceCount; ++f) {
        for (int k = 0; k < solid->faces[f].count; ++k) {
            const PolyVertex& v = solid->vertices[solid->faces[f].indices[k]];
            std::snprintf(group, sizeof group, "{%.6f, %.6f, %.6f}", v.x, v.y, v.z);
            text += group;
        }
        text += "\n";
    }
    return text;
}

// An uncompressed 24-bit TGA of one colour.
std::string tga(int size, unsigned char r, unsigned char g, unsigned char b) {
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = char(size & 0xFF);
    file[13] = char(size >> 8);
    file[14] = char(size & 0xFF);
    file[15] = char(size >> 8);
    file[16] = 24;
    for (int i = 0; i < size * size; ++i) file += {char(b), char(g), char(r)};
    return file;
}

// Everything a successful set-up reads.
void writeSceneData(const DataFolder& folder) {
    folder.write("distort.cg", readFile(fs::path(sourceDir()) / "data" / "distort.cg"));
    folder.write("tetrahed.txt", describe(makeSolid({{1, 1, 1}, {-1, -1, 1}, {-1, 1, -1}, {1, -1, -1}},
                                                    {{-1, -1, -1}, {1, 1, -1}, {1, -1, 1}, {-1, 1, 1}})));
    folder.write("hexahed.txt",
                 describe(makeSolid({{-1, -1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, -1},
                                     {-1, -1, 1}, {1, -1, 1}, {-1, 1, 1}, {1, 1, 1}},
                                    {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}})));
    folder.write("octahed.txt",
                 describe(makeSolid({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}},
                                    {{-1, -1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, -1},
                                     {-1, -1, 1}, {1, -1, 1}, {-1, 1, 1}, {1, 1, 1}})));
    folder.write("dodecahed.txt", describe(makeDodecahedron()));
    folder.write("icosahed.txt", describe(makeIcosahedron()));
    folder.write("schach.tga", tga(8, 200, 200, 200));
    folder.write("kratzer.tga", tga(8, 255, 255, 255));
    folder.write("amber_kite_nuts.tga", tga(8, 255, 128, 0));
}

// The start-up's part before the scene's set-up: a window, the shader
// context and the vertex profile.
bool prepareLikeStartUp(TestWindow& window) {
    if (!window.ok) return false;
    demo.cgContext = shader::createContext();
    demo.vertexProfile = shader::latestProfile(shader::Stage::Vertex);
    return demo.cgContext != 0 && demo.vertexProfile != 0;
}

struct ChildResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;  // everything it wrote to standard output
};

constexpr int kReturned = 42;   // the set-up came back instead of ending
constexpr int kNoWindow = 43;   // no GL to test with

// Runs the start-up's scene set-up in a child process in `folder`, with
// `lookup` for the entry points, and collects its exit status and output.
ChildResult runSetUpInChild(const DataFolder& folder, EntryPointLookup lookup) {
    fs::path outPath = folder.root / "stdout.txt";
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || dup2(fd, 1) < 0 || chdir(folder.root.c_str()) != 0) _exit(kNoWindow);
        TestWindow window;
        if (!prepareLikeStartUp(window)) _exit(kNoWindow);
        if (lookup) sceneEntryPointLookup = lookup;
        initPolyhedraScene();
        loadPolyhedraScene();
        std::fflush(stdout);
        _exit(kReturned);
    }
    ChildResult result;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return result;
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = readFile(outPath);
    return result;
}

// Lookups that note each name they are asked for on standard output, and
// drivers lacking one of the two entry points.
void* notingLookup(const char* name) {
    std::printf("lookup %s\n", name);
    return SDL_GL_GetProcAddress(name);
}
void* withoutActiveTexture(const char* name) {
    return std::strcmp(name, "glActiveTextureARB") == 0 ? nullptr : SDL_GL_GetProcAddress(name);
}
void* withoutMultiTexCoord(const char* name) {
    return std::strcmp(name, "glMultiTexCoord2fARB") == 0 ? nullptr : SDL_GL_GetProcAddress(name);
}

const char kMultitextureLine[] = "Multitexturing w\xE4re nicht so schlecht...\n";

}  // namespace

// The compiler's complaint (naming the file) is the only line, and the
// process ends before the entry points are fetched or anything is loaded.
TEST(PolyhedraSetUp, DistortProgramThatDoesNotCompileEndsWithStatus1) {
    DataFolder folder;
    writeSceneData(folder);
    folder.write("distort.cg", "#version 120\nvoid main() { gl_Position = squashFactor; }\n");
    ChildResult child = runSetUpInChild(folder, notingLookup);
    if (child.status == kNoWindow) GTEST_SKIP() << "no GL window";
    EXPECT_EQ(child.status, 1);
    EXPECT_NE(child.out.find("distort.cg"), std::string::npos) << child.out;
    EXPECT_NE(child.out.find("squashFactor"), std::string::npos) << "the compiler's log: " << child.out;
    ASSERT_FALSE(child.out.empty());
    EXPECT_EQ(child.out.back(), '\n');
    EXPECT_EQ(child.out.find("lookup"), std::string::npos) << child.out;
    EXPECT_EQ(child.out.find("sys up time"), std::string::npos) << child.out;
}

TEST(PolyhedraSetUp, MissingDistortProgramEndsWithStatus1) {
    DataFolder folder;
    writeSceneData(folder);
    fs::remove(folder.root / "data" / "distort.cg");
    ChildResult child = runSetUpInChild(folder, notingLookup);
    if (child.status == kNoWindow) GTEST_SKIP() << "no GL window";
    EXPECT_EQ(child.status, 1);
    EXPECT_NE(child.out.find("distort.cg"), std::string::npos) << child.out;
    EXPECT_EQ(child.out.find("lookup"), std::string::npos) << child.out;
}

// Either entry point missing: the Latin-1 line alone, before the clock line
// and before any solid is loaded.
TEST(PolyhedraSetUp, MissingMultitextureEntryPointEndsWithStatus1) {
    DataFolder folder;
    writeSceneData(folder);
    for (EntryPointLookup lookup : {withoutActiveTexture, withoutMultiTexCoord}) {
        ChildResult child = runSetUpInChild(folder, lookup);
        if (child.status == kNoWindow) GTEST_SKIP() << "no GL window";
        EXPECT_EQ(child.status, 1);
        EXPECT_EQ(child.out, kMultitextureLine);
    }
}

// Both entry points asked for, in order, after the program compiled; then
// the clock line first, the five solids in their order, and the state.
TEST(PolyhedraSetUp, SuccessfulSetUpWritesTheClockLineThenTheSolidsInOrder) {
    DataFolder folder;
    writeSceneData(folder);
    ChildResult child = runSetUpInChild(folder, notingLookup);
    if (child.status == kNoWindow) GTEST_SKIP() << "no GL window";
    EXPECT_EQ(child.status, kReturned) << child.out;
    std::istringstream lines(child.out);
    std::string line;
    std::vector<std::string> order;
    while (std::getline(lines, line)) {
        if (line.rfind("lookup ", 0) == 0 || line.rfind("sys up time: ", 0) == 0 ||
            line.rfind("opening ", 0) == 0)
            order.push_back(line);
    }
    ASSERT_GE(order.size(), 3u) << child.out;
    EXPECT_EQ(order[0], "lookup glActiveTextureARB");
    EXPECT_EQ(order[1], "lookup glMultiTexCoord2fARB");
    EXPECT_EQ(order[2].rfind("sys up time: ", 0), 0u) << order[2];
    const std::vector<std::string> solids = {"opening data/tetrahed.txt", "opening data/hexahed.txt",
                                             "opening data/octahed.txt", "opening data/dodecahed.txt",
                                             "opening data/icosahed.txt"};
    EXPECT_EQ(std::vector<std::string>(order.begin() + 3, order.end()), solids) << child.out;
}

// In this process: the mark and its line on the virtual clock, the solids'
// places and settings, the textures' order, what is reset and what is not,
// and the GL state the scene begins with.
TEST(PolyhedraSetUp, SetUpLeavesTheSceneReadyToStart) {
    DataFolder folder;
    writeSceneData(folder);
    TestWindow window;
    if (!prepareLikeStartUp(window)) GTEST_SKIP() << "no GL window";
    ASSERT_EQ(chdir(folder.root.c_str()), 0);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_COLOR_MATERIAL);
    glShadeModel(GL_FLAT);
    demo.orbitAngle = demo.tiltX = demo.tiltZ = 12.0f;
    demo.scenePhase = 5;
    demo.phaseStart = 3.5f;
    demo.secondaryDirection = 1;
    platform::useVirtualClock(kFrequency);
    setClock(5.25);  // counterFrequency is still 0: the set-up reads it first
    counterFrequency = 0;

    initPolyhedraScene();
    fs::path outPath = folder.root / "out.txt";
    std::fflush(stdout);
    int saved = dup(1);
    int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    dup2(fd, 1);
    loadPolyhedraScene();
    std::fflush(stdout);
    dup2(saved, 1);
    close(fd);
    std::string out = readFile(outPath);

    EXPECT_EQ(counterFrequency, kFrequency);
    EXPECT_EQ(clockMarkSeconds, 5.25f);
    EXPECT_EQ(out.rfind("sys up time: 5.250000\n", 0), 0u) << out;

    EXPECT_NE(demo.distortProgram, 0u);
    EXPECT_NE(demo.distortModelViewProj, 0u);
    EXPECT_NE(demo.actualtParam, 0u);
    EXPECT_NE(demo.lastcollParam, 0u);
    EXPECT_NE(demo.amplitudeParam, 0u);
    EXPECT_NE(demo.positionParam, 0u);
    EXPECT_NE(demo.colorParam, 0u);
    EXPECT_NE(demo.sceneActiveTexture, nullptr);
    EXPECT_NE(demo.sceneMultiTexCoord2f, nullptr);

    for (int i = 0; i < 5; ++i) ASSERT_NE(demo.solidTable[i], nullptr) << i;
    EXPECT_EQ(demo.primarySolid, demo.solidTable[0]);
    EXPECT_EQ(demo.secondarySolid, demo.solidTable[1]);
    EXPECT_EQ(demo.primarySolid->amplitude, 0.25f);
    EXPECT_EQ(demo.primarySolid->colourSet, 0);
    EXPECT_EQ(demo.secondarySolid->amplitude, 0.4f);
    EXPECT_EQ(demo.secondarySolid->colourSet, 1);
    // Texture names are handed out in creation order.
    EXPECT_NE(demo.chessboardTexture, 0u);
    EXPECT_LT(demo.chessboardTexture, demo.scratchTexture);
    EXPECT_LT(demo.scratchTexture, demo.logoTexture);

    EXPECT_EQ(demo.orbitAngle, 0.0f);
    EXPECT_EQ(demo.tiltX, 0.0f);
    EXPECT_EQ(demo.tiltZ, 0.0f);
    EXPECT_EQ(demo.scenePhase, 5) << "the phase carries over a new start-up";
    EXPECT_EQ(demo.phaseStart, 3.5f);
    EXPECT_EQ(demo.secondaryDirection, 1);

    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[3], 0.5f);
    GLfloat depth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    GLint value = 0;
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    for (Polyhedron*& solid : demo.solidTable) {
        freePolyhedron(solid);
        solid = nullptr;
    }
}
