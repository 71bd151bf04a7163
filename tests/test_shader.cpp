// The shader layer on a real llvmpipe context: programs of each stage alone
// and together, parameter values and the state matrix read back as pixels,
// switching between linked combinations and fixed function, and the errors,
// null and stale handles that must never hurt.
#include "app/gl.h"
#include "app/shader/shader.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kSize = 64;

// A folder of this test process's own for program sources, gone at exit.
struct SourceFolder {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("demo_shader_test_" + std::to_string(getpid()));
    ~SourceFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
} sourceFolder;

std::string writeProgram(const std::string& name, const std::string& text) {
    std::filesystem::create_directories(sourceFolder.path);
    std::filesystem::path path = sourceFolder.path / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

struct ShaderTest : ::testing::Test {
    TestWindow window{kSize, kSize};
    shader::Context context = 0;
    shader::Profile vertexProfile = 0, fragmentProfile = 0;

    void SetUp() override {
        ASSERT_TRUE(window.ok);
        context = shader::createContext();
        vertexProfile = shader::latestProfile(shader::Stage::vertex);
        fragmentProfile = shader::latestProfile(shader::Stage::fragment);
        ASSERT_NE(context, 0u);
        ASSERT_NE(vertexProfile, 0u);
        ASSERT_NE(fragmentProfile, 0u);
        shader::setOptimalOptions(vertexProfile);
        shader::setOptimalOptions(fragmentProfile);
        identityMatrices();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        glClearColor(0, 0, 0, 1);
    }

    shader::Program program(const char* name, const std::string& text, shader::Profile profile) {
        shader::Program p =
            shader::createProgramFromFile(context, writeProgram(name, text).c_str(), profile, "main");
        EXPECT_NE(p, 0u) << shader::errorString(shader::lastError());
        shader::loadProgram(p);
        return p;
    }

    static void identityMatrices() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
};

// A quad from (x0, y0) to (x1, y1) in the current matrices, one colour.
void drawQuad(float x0, float y0, float x1, float y1, float r = 1, float g = 0, float b = 0) {
    glBegin(GL_QUADS);
    glColor4f(r, g, b, 1);
    glVertex3f(x0, y0, 0);
    glVertex3f(x1, y0, 0);
    glVertex3f(x1, y1, 0);
    glVertex3f(x0, y1, 0);
    glEnd();
}

std::vector<std::uint8_t> rgb(int r, int g, int b) {
    return {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
}

// Colours through 8-bit channels: within one step.
void expectPixel(int x, int y, const std::vector<std::uint8_t>& want) {
    std::vector<std::uint8_t> got = readPixel(x, y);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(got[i], want[i], 1) << "pixel (" << x << ", " << y << ") channel " << i;
}

GLuint currentGLProgram() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    return static_cast<GLuint>(program);
}

const char* kOffsetVertex = R"(#version 120
uniform mat4 ModelViewProj;
uniform vec2 offset;
uniform float brightness;
void main() {
    gl_Position = ModelViewProj * gl_Vertex + vec4(offset, 0.0, 0.0);
    gl_FrontColor = gl_Color * brightness;
}
)";

}  // namespace

// The state matrix is projection x modelview when it is set (an orthographic
// projection in pixels and a translation: the order shows in where the quad
// lands), and later matrix changes do not reach it.
TEST_F(ShaderTest, VertexProgramWithFixedFunctionFragments) {
    shader::Program p = program("offset.vert", kOffsetVertex, vertexProfile);
    shader::Parameter mvp = shader::namedParameter(p, "ModelViewProj");
    shader::Parameter offset = shader::namedParameter(p, "offset");
    shader::Parameter brightness = shader::namedParameter(p, "brightness");
    ASSERT_NE(mvp, 0u);
    ASSERT_NE(offset, 0u);
    ASSERT_NE(brightness, 0u);

    glMatrixMode(GL_PROJECTION);
    glOrtho(0, kSize, 0, kSize, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(32, 16, 0);
    shader::enableProfile(vertexProfile);
    shader::bindProgram(p);
    shader::setModelViewProjection(mvp);
    shader::setParameter2f(offset, 0, 0);
    shader::setParameter1f(brightness, 1);
    identityMatrices();

    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(0, 0, 16, 16, 1, 0.5f, 0);  // lands on pixels 32..48 x 16..32
    expectPixel(40, 24, rgb(255, 128, 0));
    expectPixel(8, 8, rgb(0, 0, 0));
    expectPixel(56, 24, rgb(0, 0, 0));

    shader::setParameter2f(offset, 0.5f, 0);  // a quarter of the view: 16 pixels
    shader::setParameter1d(brightness, 0.5);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(0, 0, 16, 16, 1, 0.5f, 0);
    expectPixel(40, 24, rgb(0, 0, 0));
    expectPixel(56, 24, rgb(128, 64, 0));

    shader::disableProfile(vertexProfile);
    EXPECT_EQ(currentGLProgram(), 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The lens scene's arrangement: a vertex and a fragment program together,
// three textures on units 0, 1 and 2 reached through samplers named by unit
// (declared in another order), coordinate sets 0 and 1 passed through.
TEST_F(ShaderTest, VertexAndFragmentProgramsTogetherSampleTheirUnits) {
    shader::Program twist = program("pass.vert", R"(#version 120
uniform mat4 ModelViewProj;
void main() {
    gl_Position = ModelViewProj * gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
}
)", vertexProfile);
    shader::Program lens = program("units.frag", R"(#version 120
uniform sampler2D plane2;
uniform sampler2D tint0;
uniform sampler2D displacement1;
uniform vec2 scale;
void main() {
    float r = texture2D(tint0, gl_TexCoord[0].xy).r;
    float g = texture2D(displacement1, gl_TexCoord[1].xy).g;
    float b = texture2D(plane2, gl_TexCoord[0].xy).b;
    gl_FragColor = vec4(r * scale.x, g * scale.y, b, 1.0);
}
)", fragmentProfile);
    GLuint textures[3];
    glGenTextures(3, textures);
    const std::uint8_t texels[3][3] = {{200, 0, 0}, {0, 100, 0}, {0, 0, 50}};
    for (int unit = 0; unit < 3; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, textures[unit]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels[unit]);
    }
    glActiveTexture(GL_TEXTURE0);

    shader::enableProfile(fragmentProfile);
    shader::bindProgram(lens);
    shader::setParameter2f(shader::namedParameter(lens, "scale"), 1.0f, 2.0f);
    shader::enableProfile(vertexProfile);
    shader::bindProgram(twist);
    shader::setModelViewProjection(shader::namedParameter(twist, "ModelViewProj"));
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& c : corners) {
        glTexCoord2f(0.5f, 0.5f);
        glMultiTexCoord2f(GL_TEXTURE1, 0.5f, 0.5f);
        glVertex3f(c[0], c[1], 0);
    }
    glEnd();
    shader::disableProfile(fragmentProfile);
    shader::disableProfile(vertexProfile);
    expectPixel(32, 32, rgb(200, 200, 50));
    EXPECT_EQ(currentGLProgram(), 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Values are kept with their program: set before its combination exists,
// while another is current, or while it is current, each reaches the GPU.
// The fragment program runs here with fixed-function vertices.
TEST_F(ShaderTest, ValuesReachTheirProgramWheneverItBecomesCurrent) {
    shader::Program solid = program("solid.frag", R"(
uniform vec2 rg;
uniform float b;
void main() { gl_FragColor = vec4(rg, b, 1.0); }
)", fragmentProfile);
    shader::Program other = program("other.frag",
                                    "void main() { gl_FragColor = vec4(1.0); }\n",
                                    fragmentProfile);
    shader::Parameter rg = shader::namedParameter(solid, "rg");
    shader::Parameter b = shader::namedParameter(solid, "b");
    shader::setParameter2f(rg, 0.25f, 0.5f);
    shader::setParameter1d(b, 0.75);

    shader::enableProfile(fragmentProfile);
    shader::bindProgram(solid);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(-1, -1, 1, 1);
    expectPixel(32, 32, rgb(64, 128, 191));

    shader::bindProgram(other);
    shader::setParameter2f(rg, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(-1, -1, 1, 1);
    expectPixel(32, 32, rgb(255, 255, 255));

    shader::disableProfile(fragmentProfile);
    shader::setParameter1f(b, 0.0f);
    shader::enableProfile(fragmentProfile);
    shader::bindProgram(solid);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(-1, -1, 1, 1);
    expectPixel(32, 32, rgb(255, 0, 0));

    shader::setParameter2f(rg, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(-1, -1, 1, 1);
    expectPixel(32, 32, rgb(0, 255, 0));
    shader::disableProfile(fragmentProfile);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A vertex uniform that only feeds an own varying is dropped when the
// vertex program is linked alone, yet it is live once paired: its values
// must still arrive there.
TEST_F(ShaderTest, UniformLiveOnlyInThePairTakesValues) {
    shader::Program vertex = program("varying.vert", R"(#version 120
uniform float level;
varying float passed;
void main() { gl_Position = gl_Vertex; passed = level; }
)", vertexProfile);
    shader::Program fragment = program("varying.frag", R"(#version 120
varying float passed;
void main() { gl_FragColor = vec4(passed, 0.0, 0.0, 1.0); }
)", fragmentProfile);
    shader::Parameter level = shader::namedParameter(vertex, "level");
    ASSERT_NE(level, 0u);
    shader::setParameter1f(level, 0.5f);
    shader::enableProfile(vertexProfile);
    shader::bindProgram(vertex);
    shader::enableProfile(fragmentProfile);
    shader::bindProgram(fragment);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(-1, -1, 1, 1);
    expectPixel(32, 32, rgb(128, 0, 0));
    shader::disableProfile(vertexProfile);
    shader::disableProfile(fragmentProfile);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Each of the four combinations shows in the colour: the vertex program
// paints green, the fragment program halves the colour and adds blue, fixed
// function keeps the red that is sent. A combination links once.
TEST_F(ShaderTest, EnablingStagesSwitchesCombinationsAndFixedFunction) {
    shader::Program green = program("green.vert", R"(#version 120
void main() { gl_Position = gl_Vertex; gl_FrontColor = vec4(0.0, 1.0, 0.0, 1.0); }
)", vertexProfile);
    shader::Program half = program("half.frag", R"(#version 120
void main() { gl_FragColor = vec4(gl_Color.rg * 0.5, 0.5, 1.0); }
)", fragmentProfile);
    shader::bindProgram(green);
    shader::bindProgram(half);
    auto drawn = [](int r, int g, int b) {
        glClear(GL_COLOR_BUFFER_BIT);
        drawQuad(-1, -1, 1, 1);
        expectPixel(32, 32, rgb(r, g, b));
    };
    drawn(255, 0, 0);
    shader::enableProfile(vertexProfile);
    drawn(0, 255, 0);
    shader::enableProfile(fragmentProfile);
    drawn(0, 128, 128);
    GLuint both = currentGLProgram();
    shader::disableProfile(vertexProfile);
    drawn(128, 0, 128);
    shader::enableProfile(vertexProfile);
    EXPECT_EQ(currentGLProgram(), both);
    shader::disableProfile(vertexProfile);
    shader::disableProfile(fragmentProfile);
    EXPECT_EQ(currentGLProgram(), 0u);
    drawn(255, 0, 0);
    // A new shader context on the same GL context starts from fixed function.
    shader::enableProfile(fragmentProfile);
    ASSERT_NE(currentGLProgram(), 0u);
    EXPECT_NE(shader::createContext(), 0u);
    EXPECT_EQ(currentGLProgram(), 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Names: uniforms, an unused one and a sampler (handles whose values are
// ignored), Cg's per-vertex inputs, and anything else (null).
TEST_F(ShaderTest, NamedParameters) {
    shader::Program p = program("names.vert", R"(#version 120
uniform mat4 ModelViewProj;
uniform float amplitude, unusedHere; // the second one is dropped by the compiler
uniform sampler2D tint0;
void main() {
    gl_Position = ModelViewProj * gl_Vertex * amplitude;
    gl_FrontColor = gl_Color + texture2DLod(tint0, vec2(0.0), 0.0);
}
)", vertexProfile);
    shader::Parameter amplitude = shader::namedParameter(p, "amplitude");
    EXPECT_NE(amplitude, 0u);
    EXPECT_EQ(shader::namedParameter(p, "amplitude"), amplitude);
    for (const char* name : {"IN.position", "IN.color", "unusedHere", "tint0"}) {
        shader::Parameter ignored = shader::namedParameter(p, name);
        EXPECT_NE(ignored, 0u) << name;
        shader::enableProfile(vertexProfile);
        shader::bindProgram(p);
        shader::setParameter1f(ignored, 3.0f);
        shader::setParameter2f(ignored, 3.0f, 4.0f);
        shader::setModelViewProjection(ignored);
    }
    EXPECT_EQ(shader::namedParameter(p, "notThere"), 0u);
    EXPECT_EQ(shader::namedParameter(p, "IN."), 0u);
    // A matrix for a float and a float for the matrix are not sent at all.
    shader::setModelViewProjection(amplitude);
    shader::setParameter1f(shader::namedParameter(p, "ModelViewProj"), 1.0f);
    shader::disableProfile(vertexProfile);
    EXPECT_EQ(shader::lastError(), shader::noError);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A failing program gives a null handle and a text that names the file and
// the problem; lastError clears, the text stays readable.
TEST_F(ShaderTest, FailuresGiveANullProgramAndAReadableError) {
    std::string broken = writeProgram("broken.cg", "#version 120\nvoid main() {\n"
                                                   "    gl_Position = undeclaredThing;\n}\n");
    EXPECT_EQ(shader::createProgramFromFile(context, broken.c_str(), vertexProfile, "main"), 0u);
    int error = shader::lastError();
    EXPECT_EQ(error, shader::compileError);
    std::string text = shader::errorString(error);
    EXPECT_NE(text.find(broken), std::string::npos) << text;
    EXPECT_NE(text.find("vertex program does not compile"), std::string::npos) << text;
    EXPECT_NE(text.find("undeclaredThing"), std::string::npos) << text;
    EXPECT_NE(text.find("0:3("), std::string::npos) << text;  // the file's own line
    EXPECT_EQ(shader::lastError(), shader::noError);
    EXPECT_EQ(std::string(shader::errorString(shader::compileError)), text);

    // Without #version the line numbers are still the file's.
    std::string unversioned = writeProgram("unversioned.cg", "void main() {\n  gl_FragColor = x;\n}\n");
    EXPECT_EQ(shader::createProgramFromFile(context, unversioned.c_str(), fragmentProfile, nullptr), 0u);
    EXPECT_EQ(shader::lastError(), shader::compileError);
    text = shader::errorString(shader::compileError);
    EXPECT_NE(text.find("0:2("), std::string::npos) << text;

    std::string missing = writeProgram("placeholder", "") + ".absent.cg";
    EXPECT_EQ(shader::createProgramFromFile(context, missing.c_str(), vertexProfile, "main"), 0u);
    EXPECT_EQ(shader::lastError(), shader::fileError);
    text = shader::errorString(shader::fileError);
    EXPECT_NE(text.find(missing), std::string::npos) << text;
    EXPECT_NE(text.find("No such file"), std::string::npos) << text;

    std::string noMain = writeProgram("nomain.cg", "float f() { return 1.0; }\n");
    EXPECT_EQ(shader::createProgramFromFile(context, noMain.c_str(), fragmentProfile, "main"), 0u);
    EXPECT_EQ(shader::lastError(), shader::linkError);
    text = shader::errorString(shader::linkError);
    EXPECT_NE(text.find(noMain + ": the fragment program does not link"), std::string::npos) << text;

    std::string fine = writeProgram("fine.cg", "void main() { gl_Position = gl_Vertex; }\n");
    EXPECT_EQ(shader::createProgramFromFile(context, fine.c_str(), vertexProfile, "start"), 0u);
    EXPECT_EQ(shader::lastError(), shader::invalidArgument);
    EXPECT_EQ(shader::createProgramFromFile(context, nullptr, vertexProfile, "main"), 0u);
    EXPECT_EQ(shader::lastError(), shader::invalidArgument);
    EXPECT_EQ(shader::createProgramFromFile(context, fine.c_str(), 0, "main"), 0u);
    EXPECT_NE(shader::lastError(), shader::noError);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Null handles do nothing anywhere; handles of an earlier context (the
// window rebuilt after F1) are refused and leave the new context alone.
TEST(ShaderHandles, NullAndStaleHandlesAreHarmless) {
    shader::Program oldProgram = 0;
    shader::Parameter oldParameter = 0;
    shader::Profile oldProfile = 0;
    shader::Context oldContext = 0;
    std::string blue = writeProgram(
        "blue.frag", "uniform float v;\nvoid main() { gl_FragColor = vec4(0.0, 0.0, 1.0, v); }\n");
    {
        TestWindow first(kSize, kSize);
        ASSERT_TRUE(first.ok);
        oldContext = shader::createContext();
        oldProfile = shader::latestProfile(shader::Stage::fragment);
        oldProgram = shader::createProgramFromFile(oldContext, blue.c_str(), oldProfile, "main");
        ASSERT_NE(oldProgram, 0u);
        oldParameter = shader::namedParameter(oldProgram, "v");
        shader::enableProfile(oldProfile);
        shader::bindProgram(oldProgram);
    }
    // No GL context at all.
    EXPECT_EQ(shader::createContext(), 0u);
    EXPECT_EQ(shader::lastError(), shader::noContext);
    shader::setModelViewProjection(oldParameter);
    shader::setParameter1f(oldParameter, 1.0f);
    shader::enableProfile(oldProfile);

    TestWindow second(kSize, kSize);
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(shader::latestProfile(shader::Stage::vertex), 0u);  // no context made yet
    shader::lastError();
    shader::Context context = shader::createContext();
    ASSERT_NE(context, 0u);
    shader::Profile fragmentProfile = shader::latestProfile(shader::Stage::fragment);

    shader::loadProgram(0);
    shader::bindProgram(0);
    shader::enableProfile(0);
    shader::disableProfile(0);
    shader::setParameter1f(0, 1.0f);
    shader::setParameter2f(0, 1.0f, 2.0f);
    shader::setParameter1d(0, 1.0);
    shader::setModelViewProjection(0);
    shader::setOptimalOptions(0);
    EXPECT_EQ(shader::namedParameter(0, "v"), 0u);
    EXPECT_EQ(shader::createProgramFromFile(0, "data/none.cg", fragmentProfile, "main"), 0u);
    shader::lastError();

    // The new context's first program sits where the old handle would point.
    shader::Program newProgram =
        shader::createProgramFromFile(context, blue.c_str(), fragmentProfile, "main");
    ASSERT_NE(newProgram, 0u);
    for (shader::Profile profile : {oldProfile, fragmentProfile}) shader::enableProfile(profile);
    shader::bindProgram(oldProgram);
    shader::setParameter1f(oldParameter, 1.0f);
    EXPECT_EQ(shader::namedParameter(oldProgram, "v"), 0u);
    EXPECT_EQ(shader::createProgramFromFile(oldContext, "data/none.cg", fragmentProfile, "main"), 0u);
    EXPECT_NE(shader::lastError(), shader::noError);
    EXPECT_EQ(currentGLProgram(), 0u);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(-1, -1, 1, 1);
    expectPixel(32, 32, rgb(255, 0, 0));
    shader::bindProgram(newProgram);
    shader::setParameter1f(shader::namedParameter(newProgram, "v"), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad(-1, -1, 1, 1);
    expectPixel(32, 32, rgb(0, 0, 255));
    shader::disableProfile(fragmentProfile);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
