#pragma once

#include <QImage>
#include <QPushButton>

namespace kalder {

// A push button drawn with two pictures of the resource library: its normal look and its
// pressed look. The owner can hold the pressed look (Connect while connected, Live while live
// view runs) and can ask for press reports: then the button tells it of every press and release
// of the left button through pressReport, besides the ordinary clicked signal. GUI thread only.
//
// It is a QPushButton so that a dialog can make it its default button (Enter presses it) and
// finds it like any other push button. Made as the main window's controls are made, it takes no
// focus and is never a dialog's default; a dialog that wants keyboard use turns both back on. A
// caption set with setText is drawn over the picture; a picture of another size than the button
// is stretched between its corners, which keep their size.
class SkinButton : public QPushButton {
    Q_OBJECT

public:
    enum class PressPhase { Pressed = 0, Released = 1 };
    Q_ENUM(PressPhase)

    // Picture id 0 (or a picture the library lacks) leaves that look undrawn; the button then
    // draws a plain face so that it stays usable.
    SkinButton(int controlId, int normalPictureId, int pressedPictureId, QWidget* parent = nullptr);

    int controlId() const { return m_controlId; }

    void setPictures(const QImage& normal, const QImage& pressed);

    // The look the owner holds, independent of the mouse.
    void setPressedLook(bool pressed);
    bool pressedLook() const { return m_pressedLook; }

    void setPressReporting(bool on) { m_pressReporting = on; }
    bool pressReporting() const { return m_pressReporting; }

    // True while the button shows its pressed picture.
    bool showsPressed() const;

    // The picture's size, widened when the caption needs more room.
    QSize sizeHint() const override;

signals:
    // Sent directly (not queued) to the owner on press and release when reporting is on.
    void pressReport(kalder::SkinButton* button, kalder::SkinButton::PressPhase phase);

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int m_controlId;
    QImage m_normal;
    QImage m_pressed;
    bool m_pressedLook = false;
    bool m_pressReporting = false;
    bool m_hovered = false;
};

} // namespace kalder
