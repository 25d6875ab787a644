#include "video/window_exposure.h"

#include <QEvent>
#include <QExposeEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QShowEvent>
#include <QWidget>
#include <QWindow>

#if defined(KALDER_HAVE_XCB) && QT_CONFIG(xcb)
#define KALDER_WATCH_X11_VISIBILITY 1
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace kalder {

namespace {

#ifdef KALDER_WATCH_X11_VISIBILITY
xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}
#endif

} // namespace

WindowExposureWatch::WindowExposureWatch(QWidget& topLevel, QWidget& target)
    : QObject(&topLevel), m_topLevel(topLevel), m_target(&target) {
    topLevel.installEventFilter(this);
    QCoreApplication::instance()->installNativeEventFilter(this);
    if (topLevel.windowHandle() != nullptr)
        watchVisibility();
}

WindowExposureWatch::~WindowExposureWatch() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowExposureWatch::eventFilter(QObject* object, QEvent* event) {
    if (object == &m_topLevel) {
        // The native window exists from the first show and changes with some flag changes.
        if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
            watchVisibility();
    } else if (object == m_window && event->type() == QEvent::Expose) {
        m_unexposed = !m_window->isExposed();
        update();
    }
    return false;
}

void WindowExposureWatch::watchVisibility() {
    QWindow* window = m_topLevel.windowHandle();
    if (window != m_window) {
        if (m_window != nullptr)
            m_window->removeEventFilter(this);
        m_window = window;
        if (m_window != nullptr)
            m_window->installEventFilter(this);
    }
#ifdef KALDER_WATCH_X11_VISIBILITY
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr || window == nullptr)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (id == m_watchedWindow)
        return;
    m_watchedWindow = id;
    m_covered = false;
    // The event mask is this connection's own: add to what the toolkit asked for.
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, id), nullptr);
    if (attributes == nullptr)
        return;
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
#endif
}

bool WindowExposureWatch::nativeEventFilter(const QByteArray& eventType, void* message,
                                            qintptr* /*result*/) {
#ifdef KALDER_WATCH_X11_VISIBILITY
    if (eventType != "xcb_generic_event_t" || m_watchedWindow == 0)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
        return false;
    const auto* visibility = reinterpret_cast<const xcb_visibility_notify_event_t*>(event);
    if (visibility->window != m_watchedWindow)
        return false;
    ++m_visibilityReports;
    m_covered = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
    update();
#else
    (void)eventType;
    (void)message;
#endif
    return false;
}

void WindowExposureWatch::update() {
    if (m_target.isNull())
        return;
    // A target that is a window of its own (the video window in full screen) is not hidden by
    // what covers this one: it is what covers it.
    const bool unseen = (m_covered || m_unexposed) && m_target->window() == &m_topLevel;
    if (unseen == m_unseen)
        return;
    m_unseen = unseen;
    // The same events the toolkit sends a minimized window's widgets; a target hidden by the
    // program stays hidden.
    if (unseen) {
        QHideEvent hide;
        QCoreApplication::sendEvent(m_target.data(), &hide);
    } else if (m_target->isVisible()) {
        QShowEvent show;
        QCoreApplication::sendEvent(m_target.data(), &show);
    }
}

} // namespace kalder
