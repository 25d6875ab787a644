// The remote setup window with every page of its four menus, the pages' sub-pages and each kind
// of chooser, and the local setup window with every page.
#include "gallery.h"

#include "main_window_controls.h"
#include "session/recorder_session.h"
#include "setup/local/local_setup_window.h"
#include "setup/setup_choosers.h"
#include "setup/setup_window.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <set>

namespace kalder::gallery {

namespace {

const char* const kTabNames[] = {"Display", "Rec", "System", "Event"};

// While it lives, any modal dialog that opens other than `expected` (a question a page asks, a
// folder dialog) is shot over its window and closed with Reject.
class ModalWatch {
public:
    ModalWatch(Camera& camera, QWidget* expected, QString where)
        : m_camera(camera), m_expected(expected), m_where(std::move(where)) {
        m_timer.setInterval(100);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { check(); });
        m_timer.start();
    }
    void setContext(const QString& context) { m_context = context; }

private:
    void check() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_expected || !modal->isVisible() || m_busy)
            return;
        m_busy = true;
        const QString caption =
            m_where + QStringLiteral(": dialog opened by ") + m_context + QStringLiteral(" (") +
            (modal->windowTitle().isEmpty() ? QString::fromLatin1(modal->metaObject()->className())
                                            : modal->windowTitle()) +
            ")";
        m_camera.shot(slugOf(m_where + " dialog " + m_context), caption, modal, {m_expected});
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        m_busy = false;
    }

    Camera& m_camera;
    QPointer<QWidget> m_expected;
    QString m_where;
    QString m_context;
    QTimer m_timer;
    bool m_busy = false;
};

// Buttons a scan must not press: they send to the recorder or reset it.
bool pressedByScan(const QPushButton* b) {
    static const QRegularExpression risky(
        QStringLiteral("init|test|default|reset|factory|send|restart|reboot|format|delete"),
        QRegularExpression::CaseInsensitiveOption);
    return b->isVisible() && b->isEnabled() && !risky.match(b->text()).hasMatch() &&
           !risky.match(b->accessibleName()).hasMatch();
}

// More than a tenth of the page looks different: a press that only shows the button pressed or
// toggles one value changes much less.
bool largelyRedrawn(const QImage& before, const QImage& after) {
    if (before.size() != after.size())
        return true;
    const QImage a = before.convertToFormat(QImage::Format_RGB32);
    const QImage b = after.convertToFormat(QImage::Format_RGB32);
    qint64 differing = 0;
    for (int y = 0; y < a.height(); y += 2)
        for (int x = 0; x < a.width(); x += 2)
            differing += a.pixel(x, y) != b.pixel(x, y);
    const qint64 sampled = qint64((a.width() + 1) / 2) * ((a.height() + 1) / 2);
    return differing * 10 > sampled;
}

QString chooserKind(QWidget* chooser) {
    if (dynamic_cast<ListChooser*>(chooser)) {
        std::set<int> columns;
        for (QPushButton* b : chooser->findChildren<QPushButton*>())
            columns.insert(b->x());
        return columns.size() > 1 ? QStringLiteral("Choices pop-up in four columns")
                                  : QStringLiteral("Choices pop-up");
    }
    if (dynamic_cast<NumberChooser*>(chooser))
        return chooser->findChildren<QSlider*>().size() > 1 ? QStringLiteral("Time pop-up")
                                                            : QStringLiteral("Number pop-up");
    return QString::fromLatin1(chooser->metaObject()->className());
}

QPushButton* menuItem(SetupWindow& setup, int tab, int item) {
    auto* menu = setup.findChild<QWidget*>(QStringLiteral("menu%1").arg(kTabNames[tab]));
    return menu ? menu->findChild<QPushButton*>(QStringLiteral("item%1").arg(item)) : nullptr;
}

bool openItem(SetupWindow& setup, int tab, int item) {
    if (auto* tabButton =
            setup.findChild<QPushButton*>(QStringLiteral("tab%1").arg(kTabNames[tab])))
        QTest::mouseClick(tabButton, Qt::LeftButton);
    QPushButton* b = menuItem(setup, tab, item);
    if (!b)
        return false;
    QTest::mouseClick(b, Qt::LeftButton);
    return waitFor([&] { return setup.currentPage() && setup.currentPage()->isVisible(); }, 3000);
}

// Presses the page's buttons one by one: each kind of chooser not seen yet is shot once, and a
// press that replaces the page's content with another (a sub-page) is shot as well; after a
// sub-page the page is opened again.
void scanPage(Gallery& g, SetupWindow& setup, int tab, int item, const QString& pageName,
              QSet<QString>& choosersSeen, ModalWatch& watch) {
    constexpr int kMaxSubPages = 6;
    int subPages = 0;
    QSet<QString> subPagesSeen;
    for (int index = 0;; ++index) {
        QWidget* page = setup.currentPage();
        if (!page)
            return;
        const QList<QPushButton*> buttons = page->findChildren<QPushButton*>();
        if (index >= buttons.size())
            return;
        QPushButton* b = buttons[index];
        if (!pressedByScan(b))
            continue;
        const QString name = b->accessibleName().isEmpty() ? b->text() : b->accessibleName();
        watch.setContext(pageName + " " + name);
        const QImage before = page->grab().toImage();
        const QPointer<QPushButton> pressed(b);
        const QPointer<QWidget> pageAlive(page);
        QTest::mouseClick(b, Qt::LeftButton);
        if (QWidget* chooser = setup.chooser()) {
            const QString kind = chooserKind(chooser);
            if (!choosersSeen.contains(kind)) {
                choosersSeen.insert(kind);
                g.camera.shot(slugOf("setup chooser " + kind),
                              QStringLiteral("%1 (%2, %3)").arg(kind, pageName, name), &setup);
            }
            setup.dismissChooser();
            continue;
        }
        // Another content than before: a sub-page of this page.
        const bool changed = !pressed || !pressed->isVisible() || !pageAlive ||
                             setup.currentPage() != page ||
                             largelyRedrawn(before, page->grab().toImage());
        if (!changed)
            continue;
        if (subPages < kMaxSubPages && !subPagesSeen.contains(name) &&
            !name.contains(QRegularExpression(QStringLiteral("^(CH)?\\s*\\d+$")))) {
            ++subPages;
            subPagesSeen.insert(name);
            g.camera.shot(slugOf("setup " + pageName + " " + name),
                          QStringLiteral("Setup, %1 → %2").arg(pageName, name), &setup);
        }
        if (!openItem(setup, tab, item))
            return;
    }
}

} // namespace

void shootRemoteSetup(Gallery& g) {
    MainWindow& w = g.window;
    QTest::mouseClick(w.button(Control::RemoteSetup), Qt::LeftButton);
    SetupWindow* setup = nullptr;
    if (!waitFor([&] { return (setup = w.setupWindow()) && setup->isVisible(); }, 20000)) {
        g.camera.missing(QStringLiteral("Setup window"),
                         QStringLiteral("RSetup opened no setup window (no record came)"));
        return;
    }
    ModalWatch watch(g.camera, setup, QStringLiteral("Setup"));
    g.camera.shot(QStringLiteral("setup-window"),
                  QStringLiteral("Setup window as it opens (Display tab, no page)"), setup);
    QSet<QString> choosersSeen;
    for (int tab = 0; tab < 4; ++tab) {
        const QStringList items = setup->menuItems(static_cast<SetupWindow::Tab>(tab));
        for (int item = 0; item < items.size(); ++item) {
            const QString pageName = QStringLiteral("%1 / %2").arg(kTabNames[tab], items[item]);
            watch.setContext(pageName);
            if (!openItem(*setup, tab, item)) {
                g.camera.missing(QStringLiteral("Setup, ") + pageName,
                                 QStringLiteral("the menu item opened no page"));
                continue;
            }
            g.camera.shot(slugOf(QStringLiteral("setup %1 %2").arg(kTabNames[tab], items[item])),
                          QStringLiteral("Setup, ") + pageName, setup);
            scanPage(g, *setup, tab, item, pageName, choosersSeen, watch);
            if (!w.setupWindow())
                return;
        }
    }
    for (const QString& kind : {QStringLiteral("Choices pop-up"), QStringLiteral("Number pop-up"),
                                QStringLiteral("Time pop-up")})
        if (!choosersSeen.contains(kind))
            g.camera.missing(QStringLiteral("Setup: ") + kind,
                             QStringLiteral("no button of any page opened it"));
    if (auto* cancel = setup->findChild<QPushButton*>(QStringLiteral("cancelButton")))
        cancel->click();
    (void)waitFor([&] { return w.setupWindow() == nullptr; }, 5000);
    (void)waitFor([&] { return w.session() && !w.session()->setup().busy(); }, 5000);
}

void shootLocalSetup(Gallery& g) {
    MainWindow& w = g.window;
    QTest::mouseClick(w.button(Control::LocalSetup), Qt::LeftButton);
    auto* local = w.findChild<LocalSetupWindow*>(QStringLiteral("localSetupWindow"));
    if (!local || !waitFor([&] { return local->isVisible(); }, 5000)) {
        g.camera.missing(QStringLiteral("Local setup window"),
                         QStringLiteral("LSetup opened no window"));
        return;
    }
    ModalWatch watch(g.camera, local, QStringLiteral("Local setup"));
    g.camera.shot(QStringLiteral("local-setup-menu"), QStringLiteral("Local setup window (menu)"),
                  local);
    const struct {
        LocalSetupWindow::Page page;
        const char* name;
    } pages[] = {{LocalSetupWindow::Page::Global, "Global"},
                 {LocalSetupWindow::Page::Opacity, "Opacity"},
                 {LocalSetupWindow::Page::AudioBuffer, "Audio buffer"},
                 {LocalSetupWindow::Page::AutoSave, "Auto Save"},
                 {LocalSetupWindow::Page::Keys, "Keys"}};
    for (const auto& p : pages) {
        local->showPage(p.page);
        const QString caption = QStringLiteral("Local setup: %1 page").arg(p.name);
        if (local->currentPage() == p.page)
            g.camera.shot(slugOf(QStringLiteral("local setup %1").arg(p.name)), caption, local);
        else
            g.camera.missing(caption, QStringLiteral("the page did not open"));
        if (p.page != LocalSetupWindow::Page::Global)
            continue;
        // The data folder's "..." opens the system's folder dialog, which the watch shoots
        // and closes.
        if (auto* browse = local->findChild<QPushButton*>(QStringLiteral("dataFolderBrowse"))) {
            watch.setContext(QStringLiteral("the data folder's ..."));
            browse->click();
        }
    }
    if (auto* cancel = local->findChild<QPushButton*>(QStringLiteral("cancelButton")))
        cancel->click();
    else
        local->reject();
    (void)waitFor([&] { return w.findChild<LocalSetupWindow*>() == nullptr; }, 5000);
}

} // namespace kalder::gallery
