#include "video/full_screen_bar.h"

#include "ui/skin_button.h"
#include "video/video_layout.h"

#include <QTimer>

namespace kalder {

namespace {

constexpr int kButtonSize = 34;
constexpr const char* kCaptions[] = {"1", "4", "6", "7", "8", "9", "10", "13", "16", "ESC"};
// The bar's opacity, 150 of 255.
constexpr double kOpacity = 150.0 / 255.0;

} // namespace

QRect fullScreenBarRect(const QRect& screenRect) {
    return QRect(screenRect.left() + (screenRect.width() - FullScreenBar::kWidth) / 2,
                 screenRect.top() + screenRect.height() - FullScreenBar::kHeight,
                 FullScreenBar::kWidth, FullScreenBar::kHeight);
}

FullScreenBar::FullScreenBar(const QRect& screenRect, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Full screen layouts"));
    // Only the buttons are seen; the gaps between them show what lies below.
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowOpacity(kOpacity);
    setGeometry(fullScreenBarRect(screenRect));
    for (int i = 0; i < 10; ++i) {
        auto* button = new SkinButton(kFirstButtonId + i, 0, 0, this);
        button->setText(QString::fromLatin1(kCaptions[i]));
        button->setToolTip(
            i < kLayoutCount ? tr("Show %1 cells; press again for the next page").arg(kCaptions[i])
                             : tr("Leave full screen (Escape)"));
        button->setGeometry(4 + kButtonSize * i, 4, kButtonSize, kButtonSize);
        const int id = kFirstButtonId + i;
        connect(button, &SkinButton::clicked, this, [this, id] { emit command(id); });
    }

    m_showTimer = new QTimer(this);
    m_showTimer->setSingleShot(true);
    m_showTimer->setInterval(kShowDelayMs);
    connect(m_showTimer, &QTimer::timeout, this, &FullScreenBar::showForAWhile);
    m_hideTimer = new QTimer(this);
    m_hideTimer->setSingleShot(true);
    m_hideTimer->setInterval(kShowTimeMs);
    connect(m_hideTimer, &QTimer::timeout, this, &QWidget::hide);
    m_showTimer->start();
}

void FullScreenBar::showForAWhile() {
    show();
    raise();
    m_hideTimer->start();
}

void FullScreenBar::showLayout(int layoutCells) {
    const int index = layoutIndex(layoutCells);
    for (SkinButton* button : findChildren<SkinButton*>())
        button->setPressedLook(button->controlId() - kFirstButtonId == index);
}

} // namespace kalder
