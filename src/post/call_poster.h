#pragma once

#include <QObject>

#include <functional>

class QEvent;

namespace kalder {

// Runs on its own thread the calls that other threads hand it: a worker's result for an object of
// the GUI thread, as a call rather than a window message. Each call travels as an event posted
// through postToWindow, so it is ordered after everything the worker wrote before it; calls still
// queued when the poster is destroyed are dropped with it. Make it a child of the object the calls
// act on, on that object's thread, before the worker starts.
class CallPoster : public QObject {
public:
    explicit CallPoster(QObject* parent = nullptr);

    // Any thread.
    void post(std::function<void()> call);

protected:
    bool event(QEvent* event) override;
};

} // namespace kalder
