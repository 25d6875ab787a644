// The screen-saver inhibition against a desktop service of our own on a private session bus.
#include "screen_saver_inhibitor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

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

} // namespace
} // namespace kalder

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "screen_saver_test.moc"
