#pragma once

#include "setup/local/key_map.h"
#include "ui/shortcut_overlay.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QShortcut;
class QWidget;

namespace kalder {

class MainWindow;

// The operator's keys: one shortcut per key of the key map on the main window, and the same
// set on the video window while it is a full-screen window of its own; each runs what the
// main window's button for it does. The shortcuts are window shortcuts, so that they never act
// while another window (the connect dialog, a search window) is active, and a text field or
// spin box of the window keeps the keys it types. GUI thread only; a child of the main window.
class MainWindowKeys : public QObject {
    Q_OBJECT
public:
    MainWindowKeys(MainWindow& window, KeyMap map);

    const KeyMap& keyMap() const { return m_map; }
    void setKeyMap(KeyMap map);
    // Runs an action as its key does.
    void run(KeyAction action);
    // The list of keys over the main window (or the full-screen window), or nothing when it is
    // already shown; the key that shows it closes it.
    void toggleOverlay();
    ShortcutOverlay* overlay() const { return m_overlay; }

private:
    // The shortcuts of the map on `owner`.
    QList<QShortcut*> makeShortcuts(QWidget* owner);
    // The full-screen set follows the video window: made when it is a window of its own, gone
    // when it is back in the main window (two sets in one window would make every key
    // ambiguous).
    void followFullScreen();
    void runPlayback(KeyAction action, const QKeySequence& key);

    MainWindow& m_window;
    KeyMap m_map;
    QList<QShortcut*> m_mainSet;
    QList<QPointer<QShortcut>> m_fullScreenSet;
    QPointer<QWidget> m_fullScreenOwner;
    QPointer<ShortcutOverlay> m_overlay;
};

} // namespace kalder
