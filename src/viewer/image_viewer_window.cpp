#include "viewer/image_viewer_window.h"

#include "decode/image_files.h"
#include "ui/notification_box.h"
#include "ui/theme.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace kalder {

namespace {

QImage loadPicture(const QString& file) {
    const std::optional<RgbImage> image = readImageFile(file.toStdString());
    if (!image)
        return {};
    QImage picture(image->width, image->height, QImage::Format_RGB888);
    for (int y = 0; y < image->height; ++y)
        std::copy_n(image->at(0, y), std::size_t(image->width) * 3, picture.scanLine(y));
    return picture;
}

} // namespace

ImageViewerWindow::ImageViewerWindow(const QString& file, QWidget* parent)
    : QDialog(parent), m_file(file), m_picture(loadPicture(file)) {
    setObjectName(QStringLiteral("imageViewerWindow"));
    setWindowTitle(QFileInfo(file).fileName());
    setAccessibleName(QFileInfo(file).fileName());
    if (!m_picture.isNull())
        setFixedSize(m_picture.width() + 44, m_picture.height() + 76);
    applyTheme(*this);
}

void ImageViewerWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_picture.isNull()) {
        // Nothing to show: the operator hears why instead of seeing the viewer vanish.
        showMessageBox(parentWidget(), QMessageBox::Warning, QStringLiteral("Load"),
                       QStringLiteral("The picture could not be read: %1")
                           .arg(QDir::toNativeSeparators(m_file)));
        QTimer::singleShot(0, this, &QDialog::reject);
    }
}

void ImageViewerWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_picture.isNull())
        painter.drawImage(rect(), m_picture);
}

void ImageViewerWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    QDialog::mousePressEvent(event);
}

void ImageViewerWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragOffset && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - *m_dragOffset);
    QDialog::mouseMoveEvent(event);
}

void ImageViewerWindow::mouseReleaseEvent(QMouseEvent* event) {
    m_dragOffset.reset();
    QDialog::mouseReleaseEvent(event);
}

} // namespace kalder
