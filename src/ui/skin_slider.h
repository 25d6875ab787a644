#pragma once

#include <QImage>
#include <QWidget>

namespace kalder {

// A horizontal slider drawn with a groove picture and a thumb picture. It reports a press of
// the left button, every change of position while the button is held and the release, each
// with its control id and position; moving it from code reports nothing. GUI thread only.
class SkinSlider : public QWidget {
    Q_OBJECT

public:
    SkinSlider(int controlId, int groovePictureId, int thumbPictureId, QWidget* parent = nullptr);

    int controlId() const { return m_controlId; }

    void setPictures(const QImage& groove, const QImage& thumb);

    // An empty range (maximum below minimum) becomes the single value `minimum`.
    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    // Clamped to the range; no signal.
    void setPosition(int position);
    int position() const { return m_position; }

    bool held() const { return m_held; }

    // Position under a point of the widget (the thumb's centre placed there).
    int positionAt(int x) const;
    // Left edge of the thumb for a position.
    int thumbLeft(int position) const;

    QSize sizeHint() const override;

signals:
    void sliderPressed(int controlId, int position);
    void sliderMoved(int controlId, int position);
    void sliderReleased(int controlId, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int thumbWidth() const;

    int m_controlId;
    QImage m_groove;
    QImage m_thumb;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    bool m_held = false;
    // Distance from the press point to the thumb's centre, kept while the thumb is dragged so
    // that it does not jump under the pointer.
    int m_grabOffset = 0;
};

} // namespace kalder
