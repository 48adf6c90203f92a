// Smoothed lines one pixel wide, drawn as plain lines three pixels wide whose fragments take the share of
// the pixel that the one-pixel line covers as their alpha. A software rasteriser draws such a line as one
// primitive, where its own smoothing sends each line through a slower path as two triangles; the picture is
// the same kind of smoothed line, the same on every driver.
#pragma once

#include "GlFrame.h"

#include <QPointer>
#include <cstddef>

class QOpenGLShaderProgram;

class GlSmoothLines {
public:
    // Makes the program in the current context once; false when the context cannot have it or cannot draw
    // its lines at `scale` framebuffer pixels per picture pixel (the driver's own smoothing is used then).
    bool Ready(float scale);
    // Draws the following lines with the program, for a framebuffer of `fbHeight` pixels holding `scale`
    // of them per pixel of the picture; their width is set here.
    void Begin(float scale, int fbHeight);
    void End();
    // Frees the program; the context it was made in is current.
    void Release();
    // Lets go of a program made in another context, which frees it when it goes.
    void Forget();

    // Prepares the vertex pairs of such lines for the program: their colour's alpha (opaque otherwise)
    // carries what turns an offset across the line's minor axis into a distance from it.
    static void Carry(GlVertex* v, std::size_t count);

    // Width of the plain line that carries one smoothed line one pixel wide, in pixels of the picture: its
    // fragments reach a pixel beyond the middle of the line whichever way the line runs.
    static constexpr float CarrierWidth = 3.0f;
    // Whether a batch of lines is drawn by the program, when it is ready: smoothed, one pixel wide, solid.
    static bool Carries(const GlBatchKey& key) {
        return key.primitive == GlPrimitive::Lines && key.size == 1 && key.smooth && !key.stipple;
    }

private:
    // Owned by the context it was made in.
    QPointer<QOpenGLShaderProgram> program_;
    bool tried_ = false;
    float maxWidth_ = 1;
    int frameAt_ = -1;
};
