#include "ui/search_look.h"

#include "resources/resource_ids.h"
#include "resources/resource_library.h"
#include "ui/list_popup.h"
#include "ui/time_popup.h"

#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace kalder {

namespace {
const QColor kFallbackColours[6] = {QColor(40, 170, 60),  QColor(220, 40, 40),
                                    QColor(240, 200, 20), QColor(150, 90, 200),
                                    QColor(40, 120, 230), QColor(240, 130, 30)};
const char* const kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
} // namespace

std::array<QColor, 6> recordingKindColours() {
    std::array<QColor, 6> colours;
    for (int k = 0; k < 6; ++k) {
        const QImage picture = resourcePicture(res::kTimelineColourFirst + k);
        colours[static_cast<std::size_t>(k)] =
            picture.isNull() ? kFallbackColours[k] : picture.pixelColor(0, 0);
    }
    return colours;
}

void addWeekdayHeader(QWidget* panel, int y) {
    for (int w = 0; w < 7; ++w) {
        auto* label = new QLabel(QString::fromLatin1(kWeekdays[w]), panel);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(w * 57 + 4, y, 52, 14);
    }
}

void showCheckedLook(QPushButton* button) {
    QObject::connect(button, &QPushButton::toggled, button, [button](bool on) {
        // The inherited look, as the window's theme made it.
        const QPalette normal =
            button->parentWidget() ? button->parentWidget()->palette() : QPalette();
        QPalette p = normal;
        if (on) {
            p.setColor(QPalette::Button, normal.color(QPalette::Highlight));
            p.setColor(QPalette::ButtonText, normal.color(QPalette::HighlightedText));
        }
        button->setPalette(p);
    });
}

void placeDateRowFields(QPushButton* year, QPushButton* month, QPushButton* day, QPushButton* time,
                        unsigned dateFormat, int y) {
    std::array<QPushButton*, 3> order = {year, month, day};
    if (dateFormat == 1)
        order = {month, day, year};
    else if (dateFormat == 2)
        order = {day, month, year};
    int x = 56;
    for (QPushButton* b : order) {
        const int width = b == year ? 70 : 50;
        b->setGeometry(x, y, width, 24);
        x += width + 4;
    }
    time->setGeometry(x + 6, y, 120, 24);
}

QPoint DateFieldPopups::placeUnder(QWidget* field, int width) const {
    const QPoint below = field->mapTo(m_owner, QPoint(field->width() / 2, field->height()));
    return m_owner->mapToGlobal(QPoint(below.x() - width / 2 + 1, below.y() + 1));
}

void DateFieldPopups::openList(QWidget* field, const QStringList& items, int columns, int width,
                               std::function<void(int)> done) {
    closeAll();
    auto* popup = new ListPopup(items, columns, width, m_owner);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setPalette(m_owner->palette()); // a window of its own: the palette is not inherited
    popup->move(placeUnder(field, width));
    QObject::connect(popup, &ListPopup::chosen, m_owner,
                     [done = std::move(done)](int index) { done(index); });
    m_list = popup;
    popup->show();
}

void DateFieldPopups::openTime(QWidget* field, int hour, int minute, int second,
                               std::function<void(int, int, int)> done) {
    closeAll();
    auto* popup = new TimePopup(hour, minute, second, m_owner);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setPalette(m_owner->palette());
    popup->move(placeUnder(field, popup->width()));
    QObject::connect(popup, &TimePopup::chosen, m_owner,
                     [done = std::move(done)](int h, int m, int s) { done(h, m, s); });
    m_time = popup;
    popup->show();
}

void DateFieldPopups::closeAll() {
    if (m_list)
        m_list->close();
    if (m_time)
        m_time->close();
}

} // namespace kalder
