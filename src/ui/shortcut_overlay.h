#pragma once

#include <QKeySequence>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QWidget>

class QFrame;
class QKeyEvent;

namespace kalder {

// The list of the operator's keys over a window: a translucent dark cover over the whole
// parent with a panel of what each key does, action and key in two columns (flowing into a
// second pair of columns when the list is long). It holds the keyboard while shown, so that no
// other key acts through it; Escape, one of its close keys (those that show it) or a click
// closes it. Accessible as "Keyboard shortcuts". GUI thread only.
class ShortcutOverlay : public QWidget {
    Q_OBJECT
public:
    // What an action does and its keys as the operator reads them.
    using Row = QPair<QString, QString>;

    ShortcutOverlay(const QList<Row>& rows, QList<QKeySequence> closeKeys, QWidget* parent);

    // Covers the parent, takes the focus and shows; close() (or a close key) hides it and
    // gives the focus back to where it was.
    void open();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool closesOn(const QKeyEvent& event) const;

    QList<QKeySequence> m_closeKeys;
    QFrame* m_panel = nullptr;
    QPointer<QWidget> m_focusBefore; // given the focus back on closing
};

} // namespace kalder
