#include "app/present.h"

#include "app/gl.h"
#include "app/window.h"

#include <cstdint>

namespace platform {
namespace {

// The offscreen frame: its GL names live in the context numbered `context`.
struct Offscreen {
    GLuint framebuffer = 0, colour = 0, depthStencil = 0;
    std::uint64_t context = 0;
};

struct PresentState {
    FrameTarget target = FrameTarget::direct;
    int frameWidth = 0, frameHeight = 0;
    Offscreen offscreen;
};
PresentState state;

bool hasFramebufferObjects() {
    return epoxy_gl_version() >= 30 || epoxy_has_gl_extension("GL_ARB_framebuffer_object");
}

// Names made in a context that is no longer current died with it: forget
// them rather than delete another context's names.
void releaseOffscreen() {
    Offscreen& made = state.offscreen;
    if (made.framebuffer && made.context == currentContextSerial()) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &made.framebuffer);
        glDeleteRenderbuffers(1, &made.colour);
        glDeleteRenderbuffers(1, &made.depthStencil);
    }
    made = Offscreen{};
}

// Expects: the window's framebuffer bound. Leaves it bound, and no
// renderbuffer bound.
bool makeOffscreen(int width, int height) {
    if (!hasFramebufferObjects()) return false;
    Offscreen& made = state.offscreen;
    made.context = currentContextSerial();
    glGenFramebuffers(1, &made.framebuffer);
    glGenRenderbuffers(1, &made.colour);
    glGenRenderbuffers(1, &made.depthStencil);
    glBindRenderbuffer(GL_RENDERBUFFER, made.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    // Scene 0 draws its reflections through the stencil.
    glBindRenderbuffer(GL_RENDERBUFFER, made.depthStencil);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, made.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, made.colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              made.depthStencil);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) releaseOffscreen();
    return complete;
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

FrameTarget fitFrameToDrawable(int frameWidth, int frameHeight, int drawableWidth,
                               int drawableHeight) {
    if (frameWidth == drawableWidth && frameHeight == drawableHeight) {
        drawDirect();
        return state.target;
    }
    const bool kept = state.target == FrameTarget::offscreen && state.frameWidth == frameWidth &&
                      state.frameHeight == frameHeight &&
                      state.offscreen.context == currentContextSerial();
    if (!kept) {
        releaseOffscreen();
        state.target = makeOffscreen(frameWidth, frameHeight) ? FrameTarget::offscreen
                                                               : FrameTarget::letterbox;
    }
    state.frameWidth = frameWidth;
    state.frameHeight = frameHeight;
    return state.target;
}

void drawDirect() {
    releaseOffscreen();
    state = PresentState{};
}

FrameTarget frameTarget() { return state.target; }

FrameArea frameArea(int drawableWidth, int drawableHeight) {
    switch (state.target) {
        case FrameTarget::offscreen:
            return FrameArea{0, 0, state.frameWidth, state.frameHeight};
        case FrameTarget::letterbox:
            return fitFrame(state.frameWidth, state.frameHeight, drawableWidth, drawableHeight);
        case FrameTarget::direct:
        default:
            return FrameArea{0, 0, drawableWidth, drawableHeight};
    }
}

void beginFrame() {
    if (state.target == FrameTarget::offscreen) glBindFramebuffer(GL_FRAMEBUFFER, state.offscreen.framebuffer);
}

void finishFrame(SDL_Window* window) {
    if (state.target != FrameTarget::offscreen) return;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    const FrameArea area = fitFrame(state.frameWidth, state.frameHeight, width, height);

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
    glBlitFramebuffer(0, 0, state.frameWidth, state.frameHeight, area.x, area.y, area.x + area.width,
                      area.y + area.height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);

    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
    if (scissor) glEnable(GL_SCISSOR_TEST);
}

}  // namespace platform
