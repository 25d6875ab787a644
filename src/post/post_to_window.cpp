#include "post/post_to_window.h"

#include <QCoreApplication>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KALDER_POST_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define KALDER_POST_TSAN 1
#endif

#ifdef KALDER_POST_TSAN
#include <QEvent>
#include <sanitizer/tsan_interface.h>
#endif

namespace kalder {

#ifdef KALDER_POST_TSAN
namespace {

// Qt hands every event it delivers, on any thread, to the event-notify callbacks first: the
// delivery acquires what the post of that same event released. An event that was not posted
// here has no release to acquire, and the acquire does nothing.
bool acquirePostedEvent(void** data) {
    __tsan_acquire(data[1]);
    return false; // deliver as usual
}

// Registered once, before main, in every program that posts through here.
[[maybe_unused]] const bool postedEventAcquireRegistered =
    QInternal::registerCallback(QInternal::EventNotifyCallback, acquirePostedEvent);

} // namespace
#endif

namespace {

// The sanitizer's stacks hold only instrumented frames, and a frame shows where it called the
// next one: the call into Qt is one level down, so that a race found inside Qt's posting names
// postToWindow on its stack.
[[gnu::noinline]] void handEventToQt(QObject* receiver, QEvent* event) {
    QCoreApplication::postEvent(receiver, event);
}

} // namespace

void postToWindow(QObject* receiver, QEvent* event) {
#ifdef KALDER_POST_TSAN
    __tsan_release(event);
#endif
    handEventToQt(receiver, event);
}

} // namespace kalder
