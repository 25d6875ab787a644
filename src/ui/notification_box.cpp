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

// Lines are centred on a 309-pixel span.
constexpr int kCentreSpan = 309;
constexpr double kSmallestPoints = 6.0;

QFont notificationFont() {
    QFont font(QStringLiteral("Arial"), 9);
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace

double notificationWidthFactor(QLocale::Language language) {
    if (language == QLocale::Japanese)
        return 0.9;
    if (language == QLocale::Korean)
        return 1.0;
    return 1.2;
}

int notificationLineLeft(int measuredWidth, double factor) {
    const int scaled = static_cast<int>(measuredWidth * factor);
    return std::max(kNotificationMargin, (kCentreSpan - scaled) / 2);
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
    const double factor = notificationWidthFactor(QLocale::system().language());
    for (std::uint16_t id : notificationLines(m_entry))
        m_lines << resourceText(id);
    const int widest = kNotificationBoxWidth - 2 * kNotificationMargin;
    if (!detail.isEmpty() && m_lines.size() < 3) {
        m_lines << QFontMetrics(font).elidedText(detail, Qt::ElideMiddle,
                                                 static_cast<int>(widest / factor));
        setToolTip(detail);
    }
    const std::vector<int> tops = notificationLineTops(static_cast<int>(m_lines.size()));
    for (std::size_t i = 0; i < tops.size(); ++i) {
        auto* label = new QLabel(m_lines[static_cast<qsizetype>(i)], this);
        label->setObjectName(QStringLiteral("line%1").arg(i));
        // A line wider than the box is drawn a little smaller rather than cut off.
        QFont lineFont = font;
        while (QFontMetrics(lineFont).horizontalAdvance(label->text()) > widest &&
               lineFont.pointSizeF() > kSmallestPoints)
            lineFont.setPointSizeF(lineFont.pointSizeF() - 0.5);
        label->setFont(lineFont);
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
        const int width = QFontMetrics(lineFont).horizontalAdvance(label->text());
        const int left = notificationLineLeft(width, factor);
        label->setGeometry(left, tops[i], std::max(width + 4, kNotificationBoxWidth - left),
                           kNotificationLineHeight);
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
