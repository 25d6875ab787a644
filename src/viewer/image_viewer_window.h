#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <optional>

class QPushButton;

namespace kalder {

// Shows a saved snapshot again: the picture (JPEG, BMP or TIFF, by the file's extension)
// stretched over the window above a Close button, the window being the picture's size plus a
// 44 x 76 frame; it moves when dragged anywhere and closes on Close and Escape.
class ImageViewerWindow : public QDialog {
public:
    // Reads the file; a window whose file cannot be read has no picture (see hasPicture) and
    // closes itself when shown, saying so in a message over its parent.
    ImageViewerWindow(const QString& file, QWidget* parent);

    bool hasPicture() const { return !m_picture.isNull(); }
    QPushButton* closeButton() const { return m_close; }
    // Where the picture is drawn: the window less the strip of the Close button.
    QRect pictureRect() const;
    static constexpr int kButtonStrip = 40;
    const QImage& picture() const { return m_picture; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_file;
    QImage m_picture;
    QPushButton* m_close = nullptr;
    std::optional<QPoint> m_dragOffset;
};

} // namespace kalder
