#include "SmoothLines.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <algorithm>
#include <cmath>

namespace {

// `middle` is the point of the line's middle in the picture's pixels. A wide line carries the values of its
// middle across its width, so a fragment lies off `middle` along one axis only, the line's minor one.
const char* const VertexShader = R"(#version 110
varying vec2 middle;
void main() {
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    gl_FrontColor = gl_Color;
    middle = gl_Vertex.xy;
}
)";

// `frame`: framebuffer pixels per picture pixel, framebuffer height. The colour's alpha carries the line's
// factor from an offset along the minor axis to the distance across the line. The share of a pixel covered by
// a line one pixel wide falls linearly from the whole pixel on the line to nothing one pixel away from it.
const char* const FragmentShader = R"(#version 110
varying vec2 middle;
uniform vec2 frame;
void main() {
    vec2 off = abs(vec2(gl_FragCoord.x, frame.y - gl_FragCoord.y) / frame.x - 0.5 - middle);
    gl_FragColor = vec4(gl_Color.rgb, clamp(1.0 - (off.x + off.y) * gl_Color.a, 0.0, 1.0));
}
)";

} // namespace

bool GlSmoothLines::Ready(float scale) {
    // The carrier must be drawn at its full width.
    if (tried_) return program_ != nullptr && CarrierWidth * scale <= maxWidth_;
    tried_ = true;
    if (!QOpenGLContext::currentContext()) return false;
    auto* p = new QOpenGLShaderProgram(QOpenGLContext::currentContext());
    if (!p->addShaderFromSourceCode(QOpenGLShader::Vertex, VertexShader) ||
        !p->addShaderFromSourceCode(QOpenGLShader::Fragment, FragmentShader) || !p->link() ||
        (frameAt_ = p->uniformLocation("frame")) < 0) {
        delete p;
        return false;
    }
    GLfloat widths[2] = {0, 0};
    QOpenGLContext::currentContext()->functions()->glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, widths);
    maxWidth_ = widths[1];
    program_ = p;
    return CarrierWidth * scale <= maxWidth_;
}

void GlSmoothLines::Begin(float scale, int fbHeight) {
    program_->bind();
    program_->setUniformValue(frameAt_, scale, float(fbHeight));
    QOpenGLContext::currentContext()->functions()->glLineWidth(CarrierWidth * scale);
}

void GlSmoothLines::End() {
    program_->release();
}

void GlSmoothLines::Release() {
    delete program_.data();
    Forget();
}

void GlSmoothLines::Forget() {
    program_.clear();
    tried_ = false;
}

void GlSmoothLines::Carry(GlVertex* v, std::size_t count) {
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        const float dx = std::fabs(v[i + 1].x - v[i].x), dy = std::fabs(v[i + 1].y - v[i].y);
        const float length = std::sqrt(dx * dx + dy * dy);
        const float factor = length > 0 ? std::max(dx, dy) / length : 1.0f;
        const std::uint32_t alpha = std::uint32_t(std::lround(factor * 255.0f)) << 24;
        v[i].rgba = (v[i].rgba & 0xFFFFFFu) | alpha;
        v[i + 1].rgba = (v[i + 1].rgba & 0xFFFFFFu) | alpha;
    }
}
