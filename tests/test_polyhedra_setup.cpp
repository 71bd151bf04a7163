// Scene 0's set-up, run in a folder of the test's own with its own data
// files: the ways it fails the start-up (a distort program that does not
// compile or is missing, a driver without one of the multitexture entry
// points, a solid that cannot be used) with their lines on standard output,
// and a successful set-up: what it writes in which order, the mark, the
// solids, the textures and the GL state it leaves.
#include "app/clock.h"
#include "app/gl.h"
#include "app/shader/shader.h"
#include "assets/polyhedron.h"
#include "scenes/polyhedra/polyhedra.h"
#include "support/test_window.h"
#include "test_polyhedra_support.h"
#include "scenes/scene_gl.h"
#include "scenes/polyhedra/precise_clock.h"
#include "scenes/polyhedra/polyhedra_scene.h"

#include <gtest/gtest.h>

#include <fcntl.h>
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

// What the scene's two set-up operations returned (-1: not run) and
// everything they wrote to standard output.
struct SetUpResult {
    int initialized = -1;
    int loaded = -1;
    std::string out;
};

// Runs the scene's set-up as the start-up does, in `folder`: the second
// operation only after the first succeeded.
SetUpResult runSetUp(const DataFolder& folder) {
    SetUpResult result;
    const fs::path outPath = folder.root / "stdout.txt";
    const fs::path previous = fs::current_path();
    fs::current_path(folder.root);
    std::fflush(stdout);
    const int saved = dup(1);
    const int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    result.initialized = initPolyhedraScene();
    if (result.initialized) result.loaded = loadPolyhedraScene();
    std::fflush(stdout);
    dup2(saved, 1);
    close(fd);
    close(saved);
    fs::current_path(previous);
    result.out = readFile(outPath);
    return result;
}

void freeSolids() {
    for (Polyhedron*& solid : polyhedraScene.solidTable) {
        freePolyhedron(solid);
        solid = nullptr;
    }
}

const char kMultitextureLine[] = "Multitexturing w\xE4re nicht so schlecht...\n";

}  // namespace

// The compiler's complaint (naming the file) is the only line, and the
// set-up fails before the entry points are checked or anything is loaded.
TEST(PolyhedraSetUp, DistortProgramThatDoesNotCompileFailsTheStartUp) {
    DataFolder folder;
    writeSceneData(folder);
    folder.write("distort.cg", "#version 120\nvoid main() { gl_Position = squashFactor; }\n");
    TestWindow window;
    ASSERT_TRUE(preparedLikeStartUp(window));
    sceneGl.glActiveTextureARB = nullptr;  // not even looked at
    SetUpResult result = runSetUp(folder);
    EXPECT_EQ(result.initialized, 0);
    EXPECT_EQ(result.loaded, -1);
    EXPECT_NE(result.out.find("distort.cg"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("squashFactor"), std::string::npos) << "the compiler's log: " << result.out;
    ASSERT_FALSE(result.out.empty());
    EXPECT_EQ(result.out.back(), '\n');
    EXPECT_EQ(result.out.find("Multitexturing"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("sys up time"), std::string::npos) << result.out;
}

TEST(PolyhedraSetUp, MissingDistortProgramFailsTheStartUp) {
    DataFolder folder;
    writeSceneData(folder);
    fs::remove(folder.root / "data" / "distort.cg");
    TestWindow window;
    ASSERT_TRUE(preparedLikeStartUp(window));
    SetUpResult result = runSetUp(folder);
    EXPECT_EQ(result.initialized, 0);
    EXPECT_NE(result.out.find("data/distort.cg: cannot open the file"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("sys up time"), std::string::npos) << result.out;
}

// Either entry point missing: the Latin-1 line alone, before the clock line
// and before any solid is loaded.
TEST(PolyhedraSetUp, MissingMultitextureEntryPointFailsTheStartUp) {
    DataFolder folder;
    writeSceneData(folder);
    TestWindow window;
    ASSERT_TRUE(preparedLikeStartUp(window));
    const SceneGl found = sceneGl;
    for (int missing = 0; missing < 2; ++missing) {
        sceneGl = found;
        if (missing == 0) sceneGl.glActiveTextureARB = nullptr;
        else sceneGl.glMultiTexCoord2fARB = nullptr;
        SetUpResult result = runSetUp(folder);
        EXPECT_EQ(result.initialized, 0);
        EXPECT_EQ(result.out, kMultitextureLine);
    }
}

// The clock line first, then the five solids in their order.
TEST(PolyhedraSetUp, SuccessfulSetUpWritesTheClockLineThenTheSolidsInOrder) {
    DataFolder folder;
    writeSceneData(folder);
    TestWindow window;
    ASSERT_TRUE(preparedLikeStartUp(window));
    SetUpResult result = runSetUp(folder);
    EXPECT_EQ(result.initialized, 1) << result.out;
    EXPECT_EQ(result.loaded, 1) << result.out;
    std::istringstream lines(result.out);
    std::string line;
    std::vector<std::string> order;
    while (std::getline(lines, line)) {
        if (line.rfind("sys up time: ", 0) == 0 || line.rfind("opening ", 0) == 0) order.push_back(line);
    }
    ASSERT_GE(order.size(), 1u) << result.out;
    EXPECT_EQ(order[0].rfind("sys up time: ", 0), 0u) << order[0];
    const std::vector<std::string> solids = {"opening data/tetrahed.txt", "opening data/hexahed.txt",
                                             "opening data/octahed.txt", "opening data/dodecahed.txt",
                                             "opening data/icosahed.txt"};
    EXPECT_EQ(std::vector<std::string>(order.begin() + 1, order.end()), solids) << result.out;
    freeSolids();
}

// A solid that cannot be read, or is not a closed surface: its line in the
// loader's form, and nothing after it is loaded.
TEST(PolyhedraSetUp, ASolidThatCannotBeUsedFailsTheStartUpThere) {
    DataFolder folder;
    writeSceneData(folder);
    TestWindow window;
    ASSERT_TRUE(preparedLikeStartUp(window));

    fs::remove(folder.root / "data" / "hexahed.txt");
    SetUpResult missing = runSetUp(folder);
    EXPECT_EQ(missing.initialized, 1);
    EXPECT_EQ(missing.loaded, 0);
    EXPECT_NE(missing.out.find("opening data/tetrahed.txt\n"), std::string::npos) << missing.out;
    EXPECT_NE(missing.out.find("error opening data/hexahed.txt\n"), std::string::npos) << missing.out;
    EXPECT_EQ(missing.out.find("octahed"), std::string::npos) << missing.out;

    writeSceneData(folder);
    folder.write("octahed.txt", "{1, 0, 0}{0, 1, 0}{0, 0, 1}\n");  // one face: an open surface
    SetUpResult open = runSetUp(folder);
    EXPECT_EQ(open.loaded, 0);
    EXPECT_NE(open.out.find("error in data/octahed.txt: the edge from vertex"), std::string::npos) << open.out;
    EXPECT_EQ(open.out.find("dodecahed"), std::string::npos) << open.out;
    freeSolids();
}

// In this process: the mark and its line on the virtual clock, the solids'
// places and settings, the textures' order, what is reset and what is not,
// and the GL state the scene begins with.
TEST(PolyhedraSetUp, SetUpLeavesTheSceneReadyToStart) {
    DataFolder folder;
    writeSceneData(folder);
    TestWindow window;
    ASSERT_TRUE(preparedLikeStartUp(window));
    ASSERT_EQ(chdir(folder.root.c_str()), 0);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_COLOR_MATERIAL);
    glShadeModel(GL_FLAT);
    polyhedraScene.orbitAngle = polyhedraScene.tiltX = polyhedraScene.tiltZ = 12.0f;
    polyhedraScene.scenePhase = 5;
    polyhedraScene.phaseStart = 3.5f;
    polyhedraScene.secondaryDirection = 1;
    startVirtualClock();
    setClock(5.25);  // counterFrequency is still 0: the set-up reads it first
    counterFrequency = 0;

    ASSERT_EQ(initPolyhedraScene(), 1);
    fs::path outPath = folder.root / "out.txt";
    std::fflush(stdout);
    int saved = dup(1);
    int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    dup2(fd, 1);
    EXPECT_EQ(loadPolyhedraScene(), 1);
    std::fflush(stdout);
    dup2(saved, 1);
    close(fd);
    std::string out = readFile(outPath);

    EXPECT_EQ(counterFrequency, kFrequency);
    EXPECT_EQ(clockMarkSeconds, 5.25f);
    EXPECT_EQ(out.rfind("sys up time: 5.250000\n", 0), 0u) << out;

    EXPECT_NE(polyhedraScene.distortProgram, 0u);
    EXPECT_NE(polyhedraScene.distortModelViewProj, 0u);
    EXPECT_NE(polyhedraScene.actualtParam, 0u);
    EXPECT_NE(polyhedraScene.lastcollParam, 0u);
    EXPECT_NE(polyhedraScene.amplitudeParam, 0u);
    EXPECT_NE(polyhedraScene.positionParam, 0u);
    EXPECT_NE(polyhedraScene.colorParam, 0u);
    EXPECT_NE(sceneGl.glActiveTextureARB, nullptr);
    EXPECT_NE(sceneGl.glMultiTexCoord2fARB, nullptr);

    for (int i = 0; i < 5; ++i) ASSERT_NE(polyhedraScene.solidTable[i], nullptr) << i;
    EXPECT_EQ(polyhedraScene.primarySolid, polyhedraScene.solidTable[0]);
    EXPECT_EQ(polyhedraScene.secondarySolid, polyhedraScene.solidTable[1]);
    EXPECT_EQ(polyhedraScene.primarySolid->amplitude, 0.25f);
    EXPECT_EQ(polyhedraScene.primarySolid->colourSet, 0);
    EXPECT_EQ(polyhedraScene.secondarySolid->amplitude, 0.4f);
    EXPECT_EQ(polyhedraScene.secondarySolid->colourSet, 1);
    // Texture names are handed out in creation order.
    EXPECT_NE(polyhedraScene.chessboardTexture, 0u);
    EXPECT_LT(polyhedraScene.chessboardTexture, polyhedraScene.scratchTexture);
    EXPECT_LT(polyhedraScene.scratchTexture, polyhedraScene.logoTexture);

    EXPECT_EQ(polyhedraScene.orbitAngle, 0.0f);
    EXPECT_EQ(polyhedraScene.tiltX, 0.0f);
    EXPECT_EQ(polyhedraScene.tiltZ, 0.0f);
    EXPECT_EQ(polyhedraScene.scenePhase, 5) << "the phase carries over a new start-up";
    EXPECT_EQ(polyhedraScene.phaseStart, 3.5f);
    EXPECT_EQ(polyhedraScene.secondaryDirection, 1);

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
    for (Polyhedron*& solid : polyhedraScene.solidTable) {
        freePolyhedron(solid);
        solid = nullptr;
    }
}
