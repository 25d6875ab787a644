#include "decode/decoder_init_error_event.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace kalder {
namespace {

class Receiver final : public QObject {
public:
    std::vector<unsigned> channels;

protected:
    bool event(QEvent* e) override {
        if (e->type() == DecoderInitErrorEvent::eventType()) {
            channels.push_back(static_cast<DecoderInitErrorEvent*>(e)->channel());
            return true;
        }
        return QObject::event(e);
    }
};

TEST(DecoderInitError, ReachesTheMainThreadAsAPostedEvent) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    Receiver receiver;
    // Posted from decode threads, handled on the receiver's thread.
    std::thread first([&] { postDecoderInitError(&receiver, 3); });
    first.join();
    std::thread second([&] { postDecoderInitError(&receiver, 11); });
    second.join();
    postDecoderInitError(nullptr, 5); // no receiver: nothing
    EXPECT_TRUE(receiver.channels.empty());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(receiver.channels, (std::vector<unsigned>{3, 11}));
    EXPECT_STREQ(kDecoderInitErrorText, "H.264 Decoder Init Error !");
}

} // namespace
} // namespace kalder
