#include "ui/notification_box.h"

#include "resources/resource_ids.h"
#include "resources/resource_library.h"
#include "ui/skin_button.h"
#include "ui/theme.h"

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace kalder {

namespace {

QFont notificationFont() {
    QFont font(QStringLiteral("Arial"), 9);
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setWeight(QFont::Bold);
    return font;
}

// The height each label takes at `width` with its words wrapped.
std::vector<int> lineHeights(const QList<QLabel*>& labels, int width) {
    std::vector<int> heights;
    for (const QLabel* label : labels)
        heights.push_back(label->heightForWidth(width));
    return heights;
}

} // namespace

std::vector<int> notificationLinePlaces(const std::vector<int>& heights, int textBottom) {
    const int count = static_cast<int>(heights.size());
    std::vector<int> tops = notificationLineTops(count);
    if (tops.size() != heights.size())
        return tops;
    bool oneLineEach = true;
    int total = 0;
    for (int h : heights) {
        oneLineEach = oneLineEach && h <= kNotificationLineHeight;
        total += h;
    }
    if (oneLineEach)
        return tops;
    // A wrapped line: the lines stacked without a gap, the block centred above the buttons
    // (from the top edge when it is taller).
    int top = std::max(kNotificationMargin, (textBottom - total) / 2);
    for (std::size_t i = 0; i < heights.size(); ++i) {
        tops[i] = top;
        top += heights[i];
    }
    return tops;
}

std::vector<int> notificationLineTops(int lineCount) {
    switch (lineCount) {
    case 1:
        return {45};
    case 2:
        return {22, 45};
    case 3:
        return {22, 45, 68};
    default:
        return {};
    }
}

NotificationButtonPlaces notificationButtonPlaces(NotificationButtons buttons) {
    switch (buttons) {
    case NotificationButtons::Ok:
        return {111, -1};
    case NotificationButtons::Cancel:
        return {-1, 111};
    case NotificationButtons::OkCancel:
        return {50, 158};
    }
    return {};
}

NotificationBox::NotificationBox(const NotificationEntry& entry, std::uint8_t opacity,
                                 QWidget* parent, const QString& detail)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_entry(entry) {
    setObjectName(QStringLiteral("notificationBox"));
    setFixedSize(kNotificationBoxWidth, kNotificationBoxHeight);
    setWindowOpacity(opacity / 255.0);
    m_background = resourcePicture(res::kNotificationBackground);

    const QFont font = notificationFont();
    for (std::uint16_t id : notificationLines(m_entry))
        m_lines << resourceText(id);
    const int widest = kNotificationBoxWidth - 2 * kNotificationMargin;
    if (!detail.isEmpty() && m_lines.size() < 3) {
        m_lines << QFontMetrics(font).elidedText(detail, Qt::ElideMiddle, widest);
        setToolTip(detail);
    }
    // Each line is centred between the margins and wraps there rather than running over the
    // box's edges; while every line fits on one, they stand at the recorder's line tops.
    QList<QLabel*> labels;
    for (const QString& line : std::as_const(m_lines)) {
        auto* label = new QLabel(line, this);
        label->setObjectName(QStringLiteral("line%1").arg(labels.size()));
        label->setFont(font);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
        labels << label;
    }
    // The title is what a screen reader announces of the box: its first line.
    setWindowTitle(m_lines.isEmpty() ? QStringLiteral("Notice") : m_lines.first());
    setAccessibleDescription(m_lines.join(QLatin1Char(' ')));
    const std::vector<int> tops =
        notificationLinePlaces(lineHeights(labels, widest), kNotificationTextBottom);
    for (qsizetype i = 0; i < labels.size() && static_cast<std::size_t>(i) < tops.size(); ++i) {
        const int top = tops[static_cast<std::size_t>(i)];
        const int bottom =
            i + 1 < labels.size() ? tops[static_cast<std::size_t>(i) + 1] : kNotificationTextBottom;
        labels[i]->setGeometry(kNotificationMargin, top, widest,
                               std::max(kNotificationLineHeight, bottom - top));
    }

    const NotificationButtonPlaces places = notificationButtonPlaces(m_entry.buttons);
    if (places.okX >= 0)
        connect(makeButton("okButton", kTextOk, places.okX), &QAbstractButton::clicked, this,
                &QDialog::accept);
    if (places.cancelX >= 0)
        connect(makeButton("cancelButton", kTextCancel, places.cancelX), &QAbstractButton::clicked,
                this, &QDialog::reject);
}

SkinButton* NotificationBox::makeButton(const char* name, int textId, int x) {
    auto* button =
        new SkinButton(0, res::kNotificationButtonNormal, res::kNotificationButtonPressed, this);
    button->setObjectName(QLatin1String(name));
    QString caption = resourceText(textId);
    if (caption.isEmpty())
        caption = textId == kTextOk ? QStringLiteral("OK") : QStringLiteral("Cancel");
    button->setText(caption);
    button->setGeometry(x, kNotificationButtonY, kNotificationButtonWidth,
                        kNotificationButtonHeight);
    return button;
}

void NotificationBox::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget()) {
        const QPoint centre = owner->mapToGlobal(owner->rect().center());
        move(centre - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

void NotificationBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_background.isNull())
        painter.fillRect(rect(), QColor(40, 60, 100));
    else
        painter.drawImage(rect(), m_background);
}

QMessageBox* showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                            const QString& text) {
    auto* box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("messageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    applyTheme(*box);
    box->open();
    return box;
}

} // namespace kalder
