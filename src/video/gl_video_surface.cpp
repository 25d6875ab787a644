#include "video/gl_video_surface.h"

#include "decode/picture_layout.h"
#include "decode/picture_store.h"
#include "video/video_layout.h"
#include "video/video_trace.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>

#include <cstdint>

#ifndef GL_R8
#define GL_R8 0x8229
#endif
#ifndef GL_RED
#define GL_RED 0x1903
#endif

namespace kalder {

namespace {

constexpr int kPositionAttribute = 0;
constexpr int kTexCoordAttribute = 1;

// GLSL that OpenGL 2.x, compatibility contexts and OpenGL ES 2 all accept (Qt defines the
// precision qualifiers away on desktop OpenGL).
const char* const kVertexShader = R"(
attribute highp vec2 position;
attribute highp vec2 texCoord;
varying highp vec2 pictureCoord;
void main() {
    pictureCoord = texCoord;
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// BT.601, limited range: luma 16-235, chroma 16-240 around 128.
const char* const kFragmentShader = R"(
varying highp vec2 pictureCoord;
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
void main() {
    mediump float y = 1.164383 * (texture2D(planeY, pictureCoord).r - 0.062745);
    mediump float u = texture2D(planeU, pictureCoord).r - 0.501961;
    mediump float v = texture2D(planeV, pictureCoord).r - 0.501961;
    mediump vec3 rgb = vec3(y + 1.596027 * v, y - 0.391762 * u - 0.812968 * v, y + 2.017232 * u);
    gl_FragColor = vec4(clamp(rgb, 0.0, 1.0), 1.0);
}
)";

bool buildProgram(QOpenGLShaderProgram& program) {
    if (!program.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program.addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader))
        return false;
    program.bindAttributeLocation("position", kPositionAttribute);
    program.bindAttributeLocation("texCoord", kTexCoordAttribute);
    return program.link();
}

} // namespace

GlVideoSurface::GlVideoSurface(Client& client, QWidget* parent)
    : QOpenGLWidget(parent), m_client(client) {
    // Every pixel is painted on each frame; nothing of the window below shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

GlVideoSurface::~GlVideoSurface() {
    // The base class destroys the context after this destructor: the handler of its end must
    // not run on a half-destroyed surface.
    QObject::disconnect(m_contextConnection);
    if (context() && m_ready) {
        makeCurrent();
        releaseTextures();
        m_program.reset();
        doneCurrent();
    }
}

bool GlVideoSurface::isSoftwareRenderer(const QString& renderer) {
    return renderer.contains(QLatin1String("llvmpipe"), Qt::CaseInsensitive) ||
           renderer.contains(QLatin1String("softpipe"), Qt::CaseInsensitive);
}

bool GlVideoSurface::probe(QString* renderer) {
    if (qEnvironmentVariableIsSet("KALDER_NO_OPENGL"))
        return false;
    // Platforms that make OpenGL contexts but cannot compose an OpenGL widget with the others
    // (QOpenGLWidget fails on them, the offscreen one with a crash).
    static const QStringList kWithoutGlWidgets = {
        QStringLiteral("offscreen"), QStringLiteral("minimal"), QStringLiteral("minimalegl"),
        QStringLiteral("linuxfb"),   QStringLiteral("vnc"),     QStringLiteral("vkkhrdisplay")};
    if (kWithoutGlWidgets.contains(QGuiApplication::platformName()))
        return false;
    QOpenGLContext context;
    if (!context.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return false;
    if (renderer != nullptr) {
        const auto* name =
            reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
        *renderer = name != nullptr ? QString::fromLatin1(name) : QString();
    }
    bool built = false;
    {
        QOpenGLShaderProgram program;
        built = buildProgram(program);
    }
    context.doneCurrent();
    if (!built)
        return false;
    // And the widget itself gets its frame buffer.
    QOpenGLWidget widget;
    widget.resize(8, 8);
    return !widget.grabFramebuffer().isNull() && widget.isValid();
}

void GlVideoSurface::initializeGL() {
    initializeOpenGLFunctions();
    // A new context (first show, or the window moved to another top-level window): the old
    // textures went with the old context.
    for (Planes& planes : m_planes)
        planes = Planes{};
    QObject::disconnect(m_contextConnection);
    m_contextConnection = connect(
        context(), &QOpenGLContext::aboutToBeDestroyed, this,
        [this] {
            makeCurrent();
            releaseTextures();
            m_program.reset();
            m_ready = false;
            doneCurrent();
        },
        Qt::DirectConnection);

    const QSurfaceFormat format = context()->format();
    if (format.majorVersion() >= 3) {
        m_internalFormat = GL_R8;
        m_format = GL_RED;
    } else {
        m_internalFormat = GL_LUMINANCE;
        m_format = GL_LUMINANCE;
    }
    m_ready = makeProgram();
    if (!m_ready && !m_failed) {
        m_failed = true;
        QMetaObject::invokeMethod(
            this, [this] { m_client.surfaceFailed(); }, Qt::QueuedConnection);
    }
}

bool GlVideoSurface::makeProgram() {
    m_program = std::make_unique<QOpenGLShaderProgram>();
    if (!buildProgram(*m_program)) {
        qCWarning(lcVideo, "video window: the colour-conversion shader does not build: %s",
                  qPrintable(m_program->log()));
        m_program.reset();
        return false;
    }
    m_program->bind();
    m_program->setUniformValue("planeY", 0);
    m_program->setUniformValue("planeU", 1);
    m_program->setUniformValue("planeV", 2);
    m_program->release();
    return true;
}

void GlVideoSurface::releaseTextures() {
    for (Planes& planes : m_planes) {
        if (planes.textures[0] != 0)
            glDeleteTextures(3, planes.textures.data());
        planes = Planes{};
    }
}

void GlVideoSurface::paintGL() {
    if (!m_ready) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    m_client.paintSurface(*this);
}

void GlVideoSurface::clear(const QColor& colour) {
    glClearColor(static_cast<float>(colour.redF()), static_cast<float>(colour.greenF()),
                 static_cast<float>(colour.blueF()), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

bool GlVideoSurface::holdsPicture(unsigned channel, int width, int height) const {
    const Planes& planes = m_planes[channel % kSlotCount];
    return planes.filled && planes.width == width && planes.height == height;
}

bool GlVideoSurface::upload(unsigned channel, const std::byte* picture, int width, int height) {
    if (!m_ready || picture == nullptr || width < 2 || height < 2 || width % 2 != 0 ||
        height % 2 != 0 ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3 / 2 >
            kPictureBufferSize)
        return false;
    Planes& planes = m_planes[channel % kSlotCount];
    if (planes.textures[0] == 0) {
        glGenTextures(3, planes.textures.data());
        for (unsigned texture : planes.textures) {
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
    }
    // A field picture keeps its first field in the upper half of each plane; only that half is
    // uploaded, and drawing it over the whole height doubles its lines.
    const int rows = isFieldPicture(height) ? height / 2 : height;
    const auto* luma = reinterpret_cast<const std::uint8_t*>(picture);
    const std::uint8_t* u = luma + static_cast<std::ptrdiff_t>(width) * height;
    const std::uint8_t* v = u + static_cast<std::ptrdiff_t>(width / 2) * (height / 2);
    const std::uint8_t* const sources[3] = {luma, u, v};
    const bool resized = planes.width != width || planes.height != height || !planes.filled;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < 3; ++i) {
        const int planeWidth = i == 0 ? width : width / 2;
        const int planeRows = i == 0 ? rows : rows / 2;
        glBindTexture(GL_TEXTURE_2D, planes.textures[static_cast<std::size_t>(i)]);
        if (resized) {
            glTexImage2D(GL_TEXTURE_2D, 0, m_internalFormat, planeWidth, planeRows, 0, m_format,
                         GL_UNSIGNED_BYTE, sources[i]);
        } else {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, planeWidth, planeRows, m_format,
                            GL_UNSIGNED_BYTE, sources[i]);
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    planes.width = width;
    planes.height = height;
    planes.filled = true;
    ++m_uploads;
    return true;
}

void GlVideoSurface::drawPicture(unsigned channel, const QRect& cell, const CellViewZoom& zoom) {
    const Planes& planes = m_planes[channel % kSlotCount];
    if (!m_ready || !planes.filled || cell.isEmpty() || width() <= 0 || height() <= 0)
        return;
    // The kept part of the picture, in texture coordinates: a field texture holds half the
    // rows, so display row r lies at r / height in it just as in a full picture. A zoomed cell
    // samples a smaller part, with fractional edges.
    const PictureRegion source =
        zoomedRegion(pictureSourceRect(planes.width, planes.height, true), zoom);
    const double pictureWidth = planes.width;
    const double pictureHeight = planes.height;
    const auto s0 = static_cast<float>(source.left / pictureWidth);
    const auto s1 = static_cast<float>((source.left + source.width) / pictureWidth);
    const auto t0 = static_cast<float>(source.top / pictureHeight);
    const auto t1 = static_cast<float>((source.top + source.height) / pictureHeight);
    // The cell in normalised device coordinates (y up).
    const float w = static_cast<float>(width());
    const float h = static_cast<float>(height());
    const float x0 = 2.0f * static_cast<float>(cell.left()) / w - 1.0f;
    const float x1 = 2.0f * static_cast<float>(cell.left() + cell.width()) / w - 1.0f;
    const float y0 = 1.0f - 2.0f * static_cast<float>(cell.top()) / h;
    const float y1 = 1.0f - 2.0f * static_cast<float>(cell.top() + cell.height()) / h;
    const GLfloat positions[] = {x0, y0, x1, y0, x0, y1, x1, y1};
    const GLfloat texCoords[] = {s0, t0, s1, t0, s0, t1, s1, t1};

    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    m_program->bind();
    for (int i = 0; i < 3; ++i) {
        glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + i));
        glBindTexture(GL_TEXTURE_2D, planes.textures[static_cast<std::size_t>(i)]);
    }
    m_program->enableAttributeArray(kPositionAttribute);
    m_program->enableAttributeArray(kTexCoordAttribute);
    m_program->setAttributeArray(kPositionAttribute, GL_FLOAT, positions, 2);
    m_program->setAttributeArray(kTexCoordAttribute, GL_FLOAT, texCoords, 2);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    m_program->disableAttributeArray(kPositionAttribute);
    m_program->disableAttributeArray(kTexCoordAttribute);
    for (int i = 2; i >= 0; --i) {
        glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + i));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    m_program->release();
}

} // namespace kalder
