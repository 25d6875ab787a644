#include "post/call_poster.h"

#include "post/post_to_window.h"

#include <QEvent>

#include <utility>

namespace kalder {

namespace {

const QEvent::Type kPostedCallEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedCallEvent final : public QEvent {
public:
    explicit PostedCallEvent(std::function<void()> call)
        : QEvent(kPostedCallEventType), m_call(std::move(call)) {}
    void run() const { m_call(); }

private:
    const std::function<void()> m_call;
};

} // namespace

CallPoster::CallPoster(QObject* parent) : QObject(parent) {}

void CallPoster::post(std::function<void()> call) {
    postToWindow(this, new PostedCallEvent(std::move(call)));
}

bool CallPoster::event(QEvent* event) {
    if (event->type() != kPostedCallEventType)
        return QObject::event(event);
    static_cast<const PostedCallEvent*>(event)->run();
    return true;
}

} // namespace kalder
