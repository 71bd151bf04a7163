// The frame the program draws, and how it reaches the window.
//
// Usually the scenes draw straight into the window's back buffer, at the
// window's size. A fullscreen window is not always granted at the mode asked
// for: XWayland gives the output's whole size, a server may accept a switch
// and keep its own mode, and on Wayland the compositor would stretch a 4:3
// mode across a wide output (there the window module asks for the output's
// own size instead). The frame is still drawn at the mode's size, into a
// framebuffer object with depth and stencil; presenting scales it into the
// back buffer, centred at its own shape with black at the sides: the picture
// and the drawing cost of a real switch. Such a window's own framebuffer has
// colour only: nothing draws there but the scaling, and Mesa's llvmpipe
// scales into a framebuffer without depth or stencil in half the time.
//
// The window module chooses the target on every build and size change and
// releases it before its context goes; runFrame brackets each frame's drawing
// with beginFrame and finishFrame. The framebuffer object, its attachments
// and the scaling program belong to this module and to the GL context they
// were made in. Main thread only.
#pragma once

#include <SDL.h>

namespace platform {

// A rectangle of the drawable, GL's bottom-left origin.
struct FrameArea {
    int x = 0, y = 0, width = 0, height = 0;
};

enum class FrameTarget {
    direct,     // the back buffer, whole
    offscreen,  // a framebuffer object of the frame's size, scaled on presenting
};

// The largest area of the frame's shape that fits the drawable, centred
// (1024 x 768 on 1920 x 1080: 1440 x 1080 at x 240). Empty for an empty frame
// or drawable.
FrameArea fitFrame(int frameWidth, int frameHeight, int drawableWidth, int drawableHeight);

// Whether the current context can draw a frame offscreen (GL 3.0 or
// GL_ARB_framebuffer_object).
bool canDrawOffscreen();

// A fullscreen frame of frameWidth x frameHeight on a drawable of the given
// size: direct where they are equal and the back buffer has the depth and
// stencil the scenes need, else offscreen (made or remade as needed). Direct
// also where the framebuffer object cannot be made. Needs the window's
// context current.
FrameTarget fitFrameToDrawable(int frameWidth, int frameHeight, int drawableWidth, int drawableHeight,
                               bool backBufferHasDepth);
// Back to drawing straight into the whole back buffer (windows, tear-down),
// releasing the offscreen frame while its context is still current.
void drawDirect();
FrameTarget frameTarget();

// Where the frame is drawn for a drawable of the given size, for the
// viewport and the projection's shape: the whole drawable when direct.
FrameArea frameArea(int drawableWidth, int drawableHeight);

// Expects: the window's framebuffer bound. Leaves: the offscreen frame bound
// for drawing and reading when there is one; nothing else changes.
void beginFrame();
// Expects: what the frame's drawing left, with beginFrame's binding. Leaves:
// the window's framebuffer bound for drawing and reading, its back buffer
// holding the frame (when offscreen: cleared to opaque black and the frame
// scaled into fitFrame's area, linearly filtered). Everything it sets for
// that is put back as the frame's drawing left it: the current program, the
// active texture unit and its 2D binding, the enables, viewport, clear colour
// and colour mask (pushed and popped as attribute groups).
void finishFrame(SDL_Window* window);

}  // namespace platform
