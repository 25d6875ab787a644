#include "viewer/image_viewer_window.h"

#include "decode/image_files.h"
#include "ui/notification_box.h"
#include "ui/theme.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

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
    const QString name = QFileInfo(file).fileName();
    setWindowTitle(QStringLiteral("Image viewer - %1").arg(name));
    setAccessibleName(windowTitle());
    setToolTip(QDir::toNativeSeparators(file));
    if (!m_picture.isNull())
        setFixedSize(m_picture.width() + 44, m_picture.height() + 76);
    // Escape closes the window too (QDialog's reject); Close is the way the mouse sees.
    m_close = makeDialogButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("closeButton"));
    m_close->setToolTip(QStringLiteral("Close the image viewer (Escape)"));
    m_close->setAutoDefault(false);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
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

void ImageViewerWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const QSize button(90, 26);
    m_close->setGeometry(width() - button.width() - 8, height() - button.height() - 7,
                         button.width(), button.height());
}

QRect ImageViewerWindow::pictureRect() const {
    // The picture over the window, less the strip of the Close button at its foot.
    return QRect(0, 0, width(), std::max(0, height() - kButtonStrip));
}

void ImageViewerWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_picture.isNull())
        painter.drawImage(pictureRect(), m_picture);
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
