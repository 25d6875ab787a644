#pragma once

#include "ui/list_popup.h"
#include "ui/time_popup.h"

#include <QColor>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>

class QPushButton;
class QWidget;

namespace kalder {

// The look shared by the recorded-video windows (remote and local search): the recording-kind
// colours of the timeline bars, the calendar's weekday header, the highlight of a chosen
// checkable button and the placing of a date row's fields. GUI thread only.

// The colours of recording kinds 0-5 (continuous, alarm, motion, 3, audio, 5): the resource
// library's bar pictures, or fixed colours when it lacks them.
std::array<QColor, 6> recordingKindColours();

// The calendar's weekday names "Sun".."Sat" over the day columns (x = column * 57 + 4, 52 wide)
// of `panel`, at height `y`.
void addWeekdayHeader(QWidget* panel, int y);

// A checkable button shows in the highlight colour while it is on.
void showCheckedLook(QPushButton* button);

// Places one row's fields at height `y`: year, month and day in the operator's date order
// (`dateFormat` 0 Y-M-D, 1 M-D-Y, 2 D-M-Y), then the time field.
void placeDateRowFields(QPushButton* year, QPushButton* month, QPushButton* day, QPushButton* time,
                        unsigned dateFormat, int y);

// The date fields' pop-ups of one window: at most one is open, opening one closes the other,
// and each opens centred under the field that asked for it.
class DateFieldPopups {
public:
    explicit DateFieldPopups(QWidget* owner) : m_owner(owner) {}

    // `items` `columns` to a row in a pop-up `width` wide; `done` gets the chosen index.
    void openList(QWidget* field, const QStringList& items, int columns, int width,
                  std::function<void(int)> done);
    // Hours, minutes and seconds from the field's values; `done` gets them when it closes.
    void openTime(QWidget* field, int hour, int minute, int second,
                  std::function<void(int, int, int)> done);
    void closeAll();
    ListPopup* listPopup() const { return m_list; }
    TimePopup* timePopup() const { return m_time; }

private:
    QPoint placeUnder(QWidget* field, int width) const;

    QWidget* m_owner;
    QPointer<ListPopup> m_list;
    QPointer<TimePopup> m_time;
};

} // namespace kalder
