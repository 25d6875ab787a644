#pragma once

#include <QImage>
#include <QWidget>

namespace kalder {

// A progress bar that shows a percentage: a background picture, the done part filled with a
// second picture (or a colour when the library lacks it) and the percentage as text. GUI
// thread only.
class SkinProgressBar : public QWidget {
    Q_OBJECT

public:
    SkinProgressBar(int backgroundPictureId, int fillPictureId, QWidget* parent = nullptr);

    void setPictures(const QImage& background, const QImage& fill);

    // Clamped to 0-100.
    void setPercent(int percent);
    int percent() const { return m_percent; }

    // Width of the filled part for the current percentage.
    int filledWidth() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_background;
    QImage m_fill;
    int m_percent = 0;
};

} // namespace kalder
