#include "app/present.h"

#include "app/gl.h"
#include "app/window.h"

#include <cstdint>

namespace platform {
namespace {

// The offscreen frame: its GL names live in the context numbered `context`.
struct Offscreen {
    GLuint framebuffer = 0, colour = 0, depthStencil = 0;
    GLuint program = 0;  // the scaling; 0 where it did not build (then a blit)
    std::uint64_t context = 0;
};

struct PresentState {
    FrameTarget target = FrameTarget::direct;
    int frameWidth = 0, frameHeight = 0;
    Offscreen offscreen;
};
PresentState state;

// The frame as a texture over the area's viewport. Positions come straight
// from the vertices, so no matrix matters.
const char* const kScaleVertex =
    "#version 120\n"
    "varying vec2 place;\n"
    "void main() {\n"
    "    place = gl_Vertex.xy * 0.5 + 0.5;\n"
    "    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);\n"
    "}\n";
const char* const kScaleFragment =
    "#version 120\n"
    "uniform sampler2D frame;\n"
    "varying vec2 place;\n"
    "void main() { gl_FragColor = texture2D(frame, place); }\n";

GLuint compileStage(GLenum stage, const char* source) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled) return shader;
    glDeleteShader(shader);
    return 0;
}

// Expects: any state. Leaves: the current program as it was.
GLuint makeScaleProgram() {
    const GLuint vertex = compileStage(GL_VERTEX_SHADER, kScaleVertex);
    const GLuint fragment = compileStage(GL_FRAGMENT_SHADER, kScaleFragment);
    GLuint program = 0;
    if (vertex && fragment) {
        program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked) {
            GLint current = 0;
            glGetIntegerv(GL_CURRENT_PROGRAM, &current);
            glUseProgram(program);
            glUniform1i(glGetUniformLocation(program, "frame"), 0);
            glUseProgram(static_cast<GLuint>(current));
        } else {
            glDeleteProgram(program);
            program = 0;
        }
    }
    // Flagged for deletion: they go with the program.
    if (vertex) glDeleteShader(vertex);
    if (fragment) glDeleteShader(fragment);
    return program;
}

// Names made in a context that is no longer current died with it: forget
// them rather than delete another context's names.
// Expects: any state. Leaves: the window's framebuffer bound when a frame
// was released.
void releaseOffscreen() {
    Offscreen& made = state.offscreen;
    if (made.framebuffer && made.context == currentContextSerial()) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &made.framebuffer);
        glDeleteTextures(1, &made.colour);
        glDeleteRenderbuffers(1, &made.depthStencil);
        if (made.program) glDeleteProgram(made.program);
    }
    made = Offscreen{};
}

// Expects: the window's framebuffer bound. Leaves it bound, and the texture
// and renderbuffer bindings as they were.
bool makeOffscreen(int width, int height) {
    if (!canDrawOffscreen()) return false;
    Offscreen& made = state.offscreen;
    made.context = currentContextSerial();
    GLint texture = 0, unit = GL_TEXTURE0, renderbuffer = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbuffer);

    // Colour as BGRA, the layout llvmpipe scales from without converting.
    glGenTextures(1, &made.colour);
    glBindTexture(GL_TEXTURE_2D, made.colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // Scene 0 draws its reflections through the stencil.
    glGenRenderbuffers(1, &made.depthStencil);
    glBindRenderbuffer(GL_RENDERBUFFER, made.depthStencil);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glGenFramebuffers(1, &made.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, made.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, made.colour, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              made.depthStencil);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(renderbuffer));
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
    glActiveTexture(static_cast<GLenum>(unit));
    if (!complete) {
        releaseOffscreen();
        return false;
    }
    made.program = makeScaleProgram();
    return true;
}

// Expects: the frame bound for reading, the window's framebuffer for
// drawing, the back buffer cleared. Leaves: everything as it found it.
void scaleFrame(const FrameArea& area) {
    const Offscreen& made = state.offscreen;
    if (!made.program) {
        glBlitFramebuffer(0, 0, state.frameWidth, state.frameHeight, area.x, area.y, area.x + area.width,
                          area.y + area.height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
        return;
    }
    GLint program = 0, unit = GL_TEXTURE0, texture = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_POLYGON_BIT);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_COLOR_LOGIC_OP);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(area.x, area.y, area.width, area.height);
    glBindTexture(GL_TEXTURE_2D, made.colour);
    glUseProgram(made.program);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(-1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glEnd();
    glUseProgram(static_cast<GLuint>(program));
    glPopAttrib();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
    glActiveTexture(static_cast<GLenum>(unit));
}

}  // namespace

FrameArea fitFrame(int frameWidth, int frameHeight, int drawableWidth, int drawableHeight) {
    FrameArea area;
    if (frameWidth <= 0 || frameHeight <= 0 || drawableWidth <= 0 || drawableHeight <= 0) return area;
    const std::int64_t fw = frameWidth, fh = frameHeight, dw = drawableWidth, dh = drawableHeight;
    if (dw * fh <= dh * fw) {  // as wide as the drawable
        area.width = drawableWidth;
        area.height = static_cast<int>((dw * fh + fw / 2) / fw);
    } else {  // as tall as the drawable
        area.height = drawableHeight;
        area.width = static_cast<int>((dh * fw + fh / 2) / fh);
    }
    area.x = (drawableWidth - area.width) / 2;
    area.y = (drawableHeight - area.height) / 2;
    return area;
}

bool canDrawOffscreen() {
    return epoxy_gl_version() >= 30 || epoxy_has_gl_extension("GL_ARB_framebuffer_object");
}

FrameTarget fitFrameToDrawable(int frameWidth, int frameHeight, int drawableWidth, int drawableHeight,
                               bool backBufferHasDepth) {
    if (backBufferHasDepth && frameWidth == drawableWidth && frameHeight == drawableHeight) {
        drawDirect();
        return state.target;
    }
    const bool kept = state.target == FrameTarget::offscreen && state.frameWidth == frameWidth &&
                      state.frameHeight == frameHeight &&
                      state.offscreen.context == currentContextSerial();
    if (kept) return state.target;
    drawDirect();
    if (makeOffscreen(frameWidth, frameHeight)) {
        state.target = FrameTarget::offscreen;
        state.frameWidth = frameWidth;
        state.frameHeight = frameHeight;
    }
    return state.target;
}

void drawDirect() {
    releaseOffscreen();
    state = PresentState{};
}

FrameTarget frameTarget() { return state.target; }

FrameArea frameArea(int drawableWidth, int drawableHeight) {
    if (state.target == FrameTarget::offscreen) return FrameArea{0, 0, state.frameWidth, state.frameHeight};
    return FrameArea{0, 0, drawableWidth, drawableHeight};
}

void beginFrame() {
    if (state.target == FrameTarget::offscreen) glBindFramebuffer(GL_FRAMEBUFFER, state.offscreen.framebuffer);
}

void finishFrame(SDL_Window* window) {
    if (state.target != FrameTarget::offscreen) return;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);

    GLfloat clearColour[4];
    GLboolean colourMask[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);

    // The frame stays bound for reading; the copy goes to the back buffer.
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    scaleFrame(fitFrame(state.frameWidth, state.frameHeight, width, height));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);

    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
    if (scissor) glEnable(GL_SCISSOR_TEST);
}

}  // namespace platform
