#pragma once

#include "video/feed_slots.h"
#include "video/cell_view_zoom.h"
#include "wire/channel_count.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <array>
#include <cstddef>
#include <memory>

class QOpenGLShaderProgram;

namespace kalder {

// The accelerated drawing surface of the video window: one set of Y, U and V textures per
// channel, converted from BT.601 limited-range YUV and scaled into the cells by a shader. The
// video window lies under it and decides what each cell shows; the surface only holds the
// textures and draws them. A field picture (480 or 576 lines, its two fields one after the
// other in each plane) is uploaded from its first field only and stretched to the full height:
// the line doubling happens at draw time, the picture buffer stays as decoded.
//
// GUI thread only. The textures live in the widget's context; they are made again whenever
// Qt makes a new context (a change of top-level window, such as full screen).
class GlVideoSurface : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT

public:
    // What the surface needs from its owner, called on the GUI thread.
    class Client {
    public:
        virtual ~Client() = default;
        // Draws the whole surface: pictures with drawPicture while the context is current and
        // no QPainter is open, then everything else with a QPainter on the surface.
        virtual void paintSurface(GlVideoSurface& surface) = 0;
        // The surface could not set up its context or shader: the owner draws in software.
        virtual void surfaceFailed() = 0;
    };

    GlVideoSurface(Client& client, QWidget* parent);
    ~GlVideoSurface() override;

    // Whether OpenGL works here: a context can be made current on an off-screen surface and
    // the colour-conversion shader compiles and links. Setting KALDER_NO_OPENGL in the
    // environment makes it fail, to test the software fallback. `renderer`, when given, receives
    // the context's GL_RENDERER string.
    static bool probe(QString* renderer = nullptr);
    // Whether a GL_RENDERER string names a rasteriser that runs on the CPU (Mesa's llvmpipe and
    // softpipe): there the shader, the uploads and the composition cost more CPU than drawing
    // planar pictures in software.
    static bool isSoftwareRenderer(const QString& renderer);

    // ---- inside Client::paintSurface ----

    // Fills the surface with the background colour.
    void clear(const QColor& colour);
    // Whether channel's textures hold a picture of width x height.
    bool holdsPicture(unsigned channel, int width, int height) const;
    // Uploads a planar YUV 4:2:0 picture (Y, then U, then V, rows packed) into the channel's
    // textures; a field picture only its first field. False for sizes that cannot be drawn.
    // The caller holds the channel's picture lock.
    bool upload(unsigned channel, const std::byte* picture, int width, int height);
    // Draws the channel's textures into `cell` (widget coordinates), from the part of the
    // picture that is kept (the crop of the planar path), or the part of it a digital zoom
    // shows.
    void drawPicture(unsigned channel, const QRect& cell, const CellViewZoom& zoom = {});
    // Textures uploaded since the surface was made; for tests and the benchmark.
    unsigned long long uploads() const { return m_uploads; }

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    struct Planes {
        std::array<unsigned, 3> textures{}; // Y, U, V; 0 while not made
        int width = 0;                      // picture size the textures hold
        int height = 0;
        bool filled = false;
    };

    void releaseTextures();
    bool makeProgram();

    Client& m_client;
    std::unique_ptr<QOpenGLShaderProgram> m_program;
    std::array<Planes, kSlotCount> m_planes;
    bool m_ready = false;
    bool m_failed = false;
    // Single-channel texture format of this context: GL_R8/GL_RED, or GL_LUMINANCE where
    // there is no red-only format (OpenGL ES 2, OpenGL 2).
    int m_internalFormat = 0;
    unsigned m_format = 0;
    unsigned long long m_uploads = 0;
    QMetaObject::Connection m_contextConnection;
};

} // namespace kalder
