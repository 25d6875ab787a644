// The screen-saver inhibition against a desktop service of our own on a private session bus.
#include "screen_saver_inhibitor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kalder {
namespace {

// What the desktop's org.freedesktop.ScreenSaver sees.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    std::vector<QString> inhibitors;
    std::vector<uint> released;

public slots:
    uint Inhibit(const QString& application, const QString& /*reason*/) {
        inhibitors.push_back(application);
        return 40 + uint(inhibitors.size());
    }
    void UnInhibit(uint cookie) { released.push_back(cookie); }
};

template <typename Predicate> bool waitFor(Predicate done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(ScreenSaverInhibitor, InhibitsWhilePicturesShowAndReleasesAtTheEnd) {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address=1")});
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QByteArray address = bus.readLine().trimmed();
    ASSERT_FALSE(address.isEmpty());
    EXPECT_TRUE(ScreenSaverInhibitor::sessionBusThere(address, {}));
    // Before the first use of the session bus in this process.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    FakeScreenSaver desktop;
    QDBusConnection session = QDBusConnection::sessionBus();
    ASSERT_TRUE(session.isConnected());
    ASSERT_TRUE(session.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    ASSERT_TRUE(session.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &desktop,
                                       QDBusConnection::ExportAllSlots));
    {
        ScreenSaverInhibitor inhibitor;
        inhibitor.setInhibited(true);
        inhibitor.setInhibited(true); // once only
        ASSERT_TRUE(waitFor([&] { return inhibitor.cookie().has_value(); }));
        EXPECT_EQ(desktop.inhibitors, std::vector<QString>{QStringLiteral("Kalder")});

        inhibitor.setInhibited(false);
        EXPECT_FALSE(inhibitor.cookie());
        ASSERT_TRUE(waitFor([&] { return desktop.released.size() == 1; }));
        EXPECT_EQ(desktop.released[0], 41u);

        inhibitor.setInhibited(true);
        ASSERT_TRUE(waitFor([&] { return inhibitor.cookie().has_value(); }));
    } // the end of the program gives the inhibition back
    ASSERT_TRUE(waitFor([&] { return desktop.released.size() == 2; }));
    EXPECT_EQ(desktop.released[1], 42u);

    bus.terminate();
    bus.waitForFinished();
}

// Whether a bus is there is asked of its socket, so that no bus library thread starts and no
// bus is launched when there is none.
TEST(ScreenSaverInhibitor, LooksForTheBusAtItsAddressFirst) {
    const QByteArray noRuntime;
    EXPECT_FALSE(
        ScreenSaverInhibitor::sessionBusThere("unix:abstract=kalder-no-bus-here", noRuntime));
    EXPECT_FALSE(ScreenSaverInhibitor::sessionBusThere("unix:path=/nonexistent/bus", noRuntime));
    EXPECT_FALSE(ScreenSaverInhibitor::sessionBusThere({}, noRuntime));
    EXPECT_FALSE(ScreenSaverInhibitor::sessionBusThere("garbage", noRuntime));
    // Other transports are the bus library's to try.
    EXPECT_TRUE(ScreenSaverInhibitor::sessionBusThere("tcp:host=localhost,port=1", noRuntime));

    // The user's bus in the runtime folder, and the second of two addresses.
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray folder = QFile::encodeName(runtime.path());
    EXPECT_FALSE(ScreenSaverInhibitor::sessionBusThere({}, folder));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray path = folder + "/bus";
    ASSERT_LT(std::size_t(path.size()), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.constData(), std::size_t(path.size()));
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    EXPECT_TRUE(ScreenSaverInhibitor::sessionBusThere({}, folder));
    EXPECT_TRUE(ScreenSaverInhibitor::sessionBusThere(
        "unix:abstract=kalder-no-bus-here;unix:path=" + path + ",guid=0123", noRuntime));
    ::close(listener);
}

} // namespace
} // namespace kalder

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "screen_saver_test.moc"
