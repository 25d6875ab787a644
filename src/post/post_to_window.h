#pragma once

class QEvent;
class QObject;

namespace kalder {

// Every window message a thread hands to an object of the GUI thread goes through here: the
// receiver takes ownership of the event, as with QCoreApplication::postEvent, which this is in
// an ordinary build. Under ThreadSanitizer it also tells the sanitizer that what the poster
// wrote before the post (the event's fields, the values it points at) comes before the event's
// delivery, which Qt orders with a lock of its own that the sanitizer cannot see.
void postToWindow(QObject* receiver, QEvent* event);

} // namespace kalder
