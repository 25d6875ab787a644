#pragma once

#include "wire/notification.h"
#include "wire/notification_table.h"

#include <QDialog>
#include <QMessageBox>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace kalder {

class SkinButton;

// Geometry of the notification box: 308 x 136, lines 20 pixels high, buttons 100 x 27 at y 103.
inline constexpr int kNotificationBoxWidth = 308;
inline constexpr int kNotificationBoxHeight = 136;
inline constexpr int kNotificationLineHeight = 20;
inline constexpr int kNotificationButtonWidth = 100;
inline constexpr int kNotificationButtonHeight = 27;
inline constexpr int kNotificationButtonY = 103;

// Text keeps this far from the box's left and right edges; it wraps there.
inline constexpr int kNotificationMargin = 14;
// The text stays above this line (the separator over the buttons).
inline constexpr int kNotificationTextBottom = 92;
// Tops of one, two or three lines.
std::vector<int> notificationLineTops(int lineCount);
// Tops of lines whose wrapped texts are `heights` high: the tops above while each is one line
// high, else the lines stacked and centred in the space above `textBottom`.
std::vector<int> notificationLinePlaces(const std::vector<int>& heights, int textBottom);
// Left edges of the buttons, -1 for a button the box does not show.
struct NotificationButtonPlaces {
    int okX = -1;
    int cancelX = -1;
    bool operator==(const NotificationButtonPlaces&) const = default;
};
NotificationButtonPlaces notificationButtonPlaces(NotificationButtons buttons);

// The box that tells the operator of a connection event: one to three lines of text over the
// box's background picture, OK and/or Cancel. A top-most window centred over its parent. The
// owner shows it window-modal and acts when it finishes (accepted = OK). GUI thread only.
class NotificationBox : public QDialog {
    Q_OBJECT
public:
    // `detail`, when given, is one more line under the entry's (the right that is missing, the
    // folder that was searched), shortened in its middle when it is wider than the box.
    NotificationBox(const NotificationEntry& entry, std::uint8_t opacity, QWidget* parent,
                    const QString& detail = QString());

    Notification notification() const { return m_entry.notification; }
    const NotificationEntry& entry() const { return m_entry; }
    QStringList lines() const { return m_lines; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    SkinButton* makeButton(const char* name, int textId, int x);

    NotificationEntry m_entry;
    QStringList m_lines;
    QImage m_background;
};

// Tells the operator how an action of theirs ended (where its result went, or why it failed): a
// message over `parent` in the dialogs' theme with an OK button, window-modal, not waited for,
// deleted when closed. Its object name is "messageBox". GUI thread only.
QMessageBox* showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                            const QString& text);

} // namespace kalder
