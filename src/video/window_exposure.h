#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

namespace kalder {

// Tells `target` that nobody can see it while its top-level window is fully covered by other
// windows or not exposed at all, as minimizing does: a hide event when that begins, a show
// event when the window can be seen again (the video window then decodes key frames only and
// draws nothing, and redraws every cell when it shows). Minimizing itself reaches the target
// from the toolkit.
//
// Qt tells a window that is unmapped (an expose event with an empty region) but not one that
// is covered. On X11 the server reports each window's visibility (VisibilityNotify) to the
// clients that ask for it; the watch asks for it on the top-level window and reads it through
// a native event filter. Under a compositing window manager every window counts as unobscured
// and a covered window goes on decoding in full; Wayland and the offscreen platform report
// exposure only.
//
// GUI thread; the watch is a child of `topLevel`.
class WindowExposureWatch final : public QObject, public QAbstractNativeEventFilter {
public:
    WindowExposureWatch(QWidget& topLevel, QWidget& target);
    ~WindowExposureWatch() override;

    bool covered() const { return m_covered; }
    bool unexposed() const { return m_unexposed; }
    // How many visibility reports of the window the X server has sent (for tests).
    int visibilityReports() const { return m_visibilityReports; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // Asks the X server for the top-level window's visibility changes (once per native window).
    void watchVisibility();
    void update();

    QWidget& m_topLevel;
    QPointer<QWidget> m_target;
    QWindow* m_window = nullptr;
    unsigned long m_watchedWindow = 0; // the native window whose visibility is asked for
    bool m_covered = false;            // fully obscured, by the X server's word
    bool m_unexposed = false;          // Qt's last expose event said not exposed
    bool m_unseen = false;             // the target was told it is unseen
    int m_visibilityReports = 0;
};

} // namespace kalder
