// The gallery's camera and the small helpers every step uses.
#include "gallery.h"

#include "sim/sim_process.h"
#include "ui/skin_button.h"
#include "ui/notification_box.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace kalder::gallery {

namespace {

// Paint events and the decoders' next pictures land before a picture is taken.
constexpr int kSettleMs = 350;

// A picture of one colour: the screen held nothing drawn there.
bool blank(const QPixmap& picture) {
    if (picture.isNull())
        return true;
    const QImage small = picture.toImage().scaled(24, 24).convertToFormat(QImage::Format_RGB32);
    const QRgb first = small.pixel(0, 0);
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            if (small.pixel(x, y) != first)
                return false;
    return true;
}

QString oneLine(QString text) {
    return text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), ' ');
}

} // namespace

Camera::Camera(const QString& folder) : m_folder(folder) {}

QString Camera::nextFile(const QString& slug) {
    return QStringLiteral("%1-%2.png").arg(++m_count, 3, 10, QLatin1Char('0')).arg(slug);
}

bool Camera::save(const QString& slug, const QString& caption, QPixmap picture, QString note) {
    const QString file = nextFile(slug);
    if (picture.isNull() || !picture.save(m_folder.filePath(file))) {
        missing(caption, QStringLiteral("the picture could not be saved"));
        return false;
    }
    m_entries.push_back({file, caption, std::move(note)});
    std::printf("gallery: %s\n", qPrintable(file));
    std::fflush(stdout);
    return true;
}

bool Camera::shot(const QString& slug, const QString& caption, QWidget* window,
                  const QList<QWidget*>& extras) {
    if (window == nullptr || !window->isVisible()) {
        missing(caption, QStringLiteral("the window was not shown"));
        return false;
    }
    QWidget* top = window->window();
    (void)QTest::qWaitForWindowExposed(top, 2000);
    QTest::qWait(kSettleMs);
    QRect area = top->frameGeometry();
    for (QWidget* extra : extras)
        if (extra && extra->isVisible())
            area |= extra->window()->frameGeometry();
    QList<QWidget*> audited{top};
    for (QWidget* extra : extras)
        if (extra && extra->isVisible() && !audited.contains(extra->window()))
            audited << extra->window();
    for (QWidget* w : audited)
        for (const QString& problem : auditWindow(w))
            m_audit << QStringLiteral("%1\t%2").arg(slug, problem);
    QScreen* screen = top->screen();
    const QRect screenRect = screen->geometry();
    area &= screenRect;
    QPixmap picture = screen->grabWindow(0, area.x() - screenRect.x(), area.y() - screenRect.y(),
                                         area.width(), area.height());
    if (!blank(picture))
        return save(slug, caption, picture, QString());
    return save(slug, caption, top->grab(),
                QStringLiteral("drawn with QWidget::grab(): the screen showed nothing there"));
}

bool Camera::shotScreen(const QString& slug, const QString& caption, const QRect& rect) {
    QTest::qWait(kSettleMs);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = rect & screen->geometry();
    return save(slug, caption,
                screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()), QString());
}

void Camera::missing(const QString& caption, const QString& reason) {
    m_entries.push_back({QString(), caption, reason});
    std::printf("gallery: not shown: %s (%s)\n", qPrintable(caption), qPrintable(reason));
    std::fflush(stdout);
}

bool Camera::writeList() const {
    QFile file(m_folder.filePath(QStringLiteral("gallery.tsv")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    for (const GalleryEntry& e : m_entries)
        out << e.file << '\t' << oneLine(e.caption) << '\t' << oneLine(e.note) << '\n';
    if (out.status() != QTextStream::Ok)
        return false;
    QFile auditFile(m_folder.filePath(QStringLiteral("accessibility.tsv")));
    if (!auditFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream audit(&auditFile);
    QStringList lines = m_audit;
    lines.removeDuplicates();
    for (const QString& line : lines)
        audit << line << '\n';
    std::printf("gallery: %lld accessibility findings in accessibility.tsv\n",
                static_cast<long long>(lines.size()));
    return audit.status() == QTextStream::Ok;
}

int Camera::pictures() const {
    int n = 0;
    for (const GalleryEntry& e : m_entries)
        n += !e.file.isEmpty();
    return n;
}

int Camera::missingCount() const {
    return static_cast<int>(m_entries.size()) - pictures();
}

void acceptAnyBox(MainWindow& w) {
    if (NotificationBox* box = w.notificationBox()) {
        if (auto* ok = box->findChild<SkinButton*>(QStringLiteral("okButton")))
            ok->click();
        else
            box->reject();
        (void)waitFor([&] { return w.notificationBox() == nullptr; }, 5000);
    }
}

std::string simAdmin(std::uint16_t adminPort, const std::string& command) {
    return test::simAdminCommand(adminPort, command);
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    return QTest::qWaitFor(done, timeoutMs);
}

bool duringModal(const std::function<void()>& trigger,
                 const std::function<void(QWidget* dialog)>& whileOpen, int timeoutMs) {
    QWidget* const before = QApplication::activeModalWidget();
    bool called = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != before && modal->isVisible()) {
            poll.stop();
            called = true;
            whileOpen(modal);
            return;
        }
        if (clock.elapsed() > timeoutMs)
            poll.stop();
    });
    poll.start();
    trigger();
    // A dialog opened with open() returns at once: the poll still finds it.
    (void)waitFor([&] { return !poll.isActive(); }, timeoutMs + 1000);
    poll.stop();
    return called;
}

QList<QWidget*> otherWindows(const QWidget& window) {
    QList<QWidget*> others;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &window && w->isVisible())
            others << w;
    return others;
}

QWidget* newWindow(const QList<QWidget*>& before, int timeoutMs) {
    QWidget* found = nullptr;
    (void)waitFor(
        [&] {
            // The main window is never a new window, whether `before` lists it or not.
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && !before.contains(w) && !qobject_cast<MainWindow*>(w))
                    found = w;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

QStringList closeOtherWindows(const QWidget& window) {
    QStringList closed;
    for (QWidget* w : otherWindows(window)) {
        const QPointer<QWidget> guard(w);
        closed << (w->accessibleName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                 : w->accessibleName());
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
        else
            w->close();
    }
    QCoreApplication::processEvents();
    return closed;
}

QPushButton* controlButton(QWidget* window, int id) {
    return window ? window->findChild<QPushButton*>(QStringLiteral("control%1").arg(id)) : nullptr;
}

QPushButton* buttonNamed(QWidget* parent, const QString& caption) {
    if (parent == nullptr)
        return nullptr;
    for (QPushButton* b : parent->findChildren<QPushButton*>())
        if (b->accessibleName() == caption || b->text() == caption)
            return b;
    return nullptr;
}

QString slugOf(const QString& caption) {
    QString slug = caption.toLower();
    slug.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    while (slug.startsWith(QLatin1Char('-')))
        slug.remove(0, 1);
    while (slug.endsWith(QLatin1Char('-')))
        slug.chop(1);
    return slug;
}

} // namespace kalder::gallery
