// The site window through its widgets, as an operator uses it: make a site of two recorders (one
// refusal on the way), connect it, and the same from the connect dialog's "Sites..." button.
// In the skin's look, as the operator sees them.
#include "connect/address_lookup.h"
#include "connect/connect_dialog.h"
#include "connect/site_editor.h"
#include "connect/site_window.h"
#include "resources/resource_library.h"
#include "tests/support/accessible_name.h"
#include "ui/skin_button.h"
#include "ui/theme.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>

namespace kalder {
namespace {

using test::findByAccessibleName;

// Runs `act` on the modal window that the next exec() opens, once its event loop runs.
template <typename Window> void whenModalOpens(std::function<void(Window&)> act) {
    QTimer::singleShot(0, [act] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (!window) {
            ADD_FAILURE() << "no modal window of the expected kind";
            if (QApplication::activeModalWidget())
                QApplication::activeModalWidget()->close();
            return;
        }
        act(*window);
    });
}

void typeInto(QWidget& root, const QString& name, const QString& text) {
    auto* edit = findByAccessibleName<QLineEdit>(root, name);
    ASSERT_NE(edit, nullptr) << name.toStdString();
    edit->clear();
    QTest::keyClicks(edit, text);
}

void press(QWidget& root, const QString& name) {
    auto* button = findByAccessibleName<QPushButton>(root, name);
    ASSERT_NE(button, nullptr) << name.toStdString();
    button->click();
}

class SiteWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_store = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("kalder.ini")),
                                              QSettings::IniFormat);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
};

TEST_F(SiteWindowTest, MakeASiteOfTwoRecordersAndConnectIt) {
    SiteWindow window(*m_store, 255, nullptr, [](std::string_view typed) {
        return typed == "nvr-east.example" ? std::string("10.0.0.20") : std::string();
    });
    window.show();
    QSignalSpy connected(&window, &SiteWindow::connectRequested);

    bool refusedAsExpected = false;
    whenModalOpens<SiteEditor>([&](SiteEditor& editor) {
        typeInto(editor, QStringLiteral("Site name"), QStringLiteral("North gate"));
        typeInto(editor, QStringLiteral("Address of recorder 1"), QStringLiteral("10.0.0.010"));
        typeInto(editor, QStringLiteral("User ID of recorder 1"), QStringLiteral("admin"));
        press(editor, QStringLiteral("Add recorder"));
        auto* second =
            findByAccessibleName<QLineEdit>(editor, QStringLiteral("Address of recorder 2"));
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(editor.focusWidget(), second) << "Add puts the caret in the new row";
        // The same recorder again (leading zeros are not a different address): refused.
        QTest::keyClicks(second, QStringLiteral("10.0.0.10"));
        press(editor, QStringLiteral("OK"));
        auto* message = editor.findChild<QLabel*>(QStringLiteral("message"));
        refusedAsExpected = editor.isVisible() && message && !message->isHidden() &&
                            message->text().contains(QStringLiteral("recorder 1")) &&
                            editor.focusWidget() == second;
        typeInto(editor, QStringLiteral("Address of recorder 2"),
                 QStringLiteral("nvr-east.example"));
        typeInto(editor, QStringLiteral("Port of recorder 2"), QStringLiteral("2100"));
        typeInto(editor, QStringLiteral("User ID of recorder 2"), QStringLiteral("guard"));
        press(editor, QStringLiteral("OK"));
        EXPECT_EQ(editor.result(), QDialog::Accepted);
    });
    press(window, QStringLiteral("New"));
    EXPECT_TRUE(refusedAsExpected) << "the editor said which recorder and kept the caret there";

    ASSERT_EQ(window.book().sites().size(), 1u);
    const Site expected{"North gate",
                        {{"10.0.0.010", 2000, "admin"}, {"nvr-east.example", 2100, "guard"}}};
    EXPECT_EQ(window.book().sites()[0], expected);

    // Different users: a password each, not the same one for all.
    auto* same = window.findChild<QCheckBox*>(QStringLiteral("samePassword"));
    ASSERT_NE(same, nullptr);
    EXPECT_FALSE(same->isChecked());
    typeInto(window, QStringLiteral("Password of recorder 1"), QStringLiteral("one"));
    typeInto(window, QStringLiteral("Password of recorder 2"), QStringLiteral("seventeen-chars!!"));
    press(window, QStringLiteral("Connect"));
    auto* tooLong =
        findByAccessibleName<QLineEdit>(window, QStringLiteral("Password of recorder 2"));
    EXPECT_EQ(window.focusWidget(), tooLong);
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("message"))
                    ->text()
                    .contains(QStringLiteral("recorder 2")));
    EXPECT_EQ(connected.count(), 0);

    typeInto(window, QStringLiteral("Password of recorder 2"), QStringLiteral("two"));
    press(window, QStringLiteral("Connect"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return connected.count() == 1; }, 30'000));
    EXPECT_EQ(window.result(), QDialog::Accepted);
    ASSERT_TRUE(window.request());
    const SiteRequest& request = *window.request();
    EXPECT_EQ(request.name, "North gate");
    ASSERT_EQ(request.recorders.size(), 2u);
    EXPECT_EQ(request.recorders[0],
              (ConnectRequest{"10.0.0.10", 2000, "admin", "one", "North gate", "10.0.0.010"}));
    EXPECT_EQ(request.recorders[1], (ConnectRequest{"10.0.0.20", 2100, "guard", "two", "North gate",
                                                    "nvr-east.example"}));
    EXPECT_EQ(connected.at(0).at(0).value<SiteRequest>(), request);

    // The next run reads the same site, with no password in the store, and offers it first.
    SiteWindow again(*m_store, 255);
    ASSERT_EQ(again.book().sites().size(), 1u);
    EXPECT_EQ(again.findChild<QListWidget*>(QStringLiteral("siteList"))->currentRow(), 0);
    for (const QString& key : m_store->allKeys())
        EXPECT_FALSE(m_store->value(key).toString().contains(QStringLiteral("one")))
            << key.toStdString();
}

TEST_F(SiteWindowTest, ConnectDialogHandsOverTheSiteAndLeavesItsOwnRecorderAlone) {
    SiteBook book(*m_store);
    ASSERT_TRUE(
        book.add(Site{"Depot", {{"192.168.1.9", 2000, "admin"}, {"192.168.1.10", 2000, "admin"}}})
            .ok());
    ASSERT_TRUE(book.save());
    const auto history =
        std::filesystem::path(m_dir.path().toStdString()) / "Log" / "ConnectInfo100.log";
    ConnectDialog dialog(*m_store, history, 255);
    // Only an owner that connects sites offers them.
    auto* sites = findByAccessibleName<QPushButton>(dialog, QStringLiteral("Sites\u2026"));
    ASSERT_NE(sites, nullptr);
    EXPECT_TRUE(sites->isHidden());
    dialog.setSitesOffered(true);
    dialog.show();
    EXPECT_TRUE(sites->isVisible());

    whenModalOpens<SiteWindow>([](SiteWindow& sites) {
        // One user everywhere: one password for the site, the others follow it.
        EXPECT_TRUE(sites.findChild<QCheckBox*>(QStringLiteral("samePassword"))->isChecked());
        auto* second = findByAccessibleName<QLineEdit>(
            sites, QStringLiteral("Password of recorder 2 (same as recorder 1)"));
        ASSERT_NE(second, nullptr);
        EXPECT_FALSE(second->isEnabled());
        typeInto(sites, QStringLiteral("Password for all recorders"), QStringLiteral("secret"));
        // Enter connects.
        QTest::keyClick(sites.focusWidget(), Qt::Key_Return);
    });
    press(dialog, QStringLiteral("Sites\u2026"));

    EXPECT_EQ(dialog.result(), ConnectDialog::kSiteChosen);
    ASSERT_TRUE(dialog.siteRequest());
    ASSERT_EQ(dialog.siteRequest()->recorders.size(), 2u);
    EXPECT_EQ(dialog.siteRequest()->recorders[0].password, "secret");
    EXPECT_EQ(dialog.siteRequest()->recorders[1].password, "secret");
    EXPECT_EQ(dialog.siteRequest()->recorders[1].address, "192.168.1.10");
    EXPECT_FALSE(m_store->contains(ConnectDialog::addressKey()));
    EXPECT_FALSE(std::filesystem::exists(history)) << "a site is not a history entry";
}

// A name server that answers when the test opens it; opened at the latest when the gate goes.
struct SiteLookupGate {
    std::promise<void> promise;
    std::shared_future<void> future = promise.get_future().share();
    std::shared_ptr<std::atomic<bool>> called = std::make_shared<std::atomic<bool>>(false);
    bool opened = false;
    void open() {
        if (!opened)
            promise.set_value();
        opened = true;
    }
    ~SiteLookupGate() { open(); }
    NameLookup::Resolver resolver() {
        return [future = future, called = called](std::string_view) {
            *called = true;
            future.wait();
            return std::string("10.0.0.20");
        };
    }
};

// While a recorder's host name resolves the window says which and locks its inputs; Close then
// connects nothing, and the lookup, still in its call, goes to the top window (the connect
// dialog between them may close first) and ends there.
TEST_F(SiteWindowTest, CloseDuringALookupConnectsNothing) {
    SiteBook book(*m_store);
    ASSERT_TRUE(
        book.add(Site{"Depot", {{"192.168.1.9", 2000, ""}, {"nvr.example", 2000, ""}}}).ok());
    ASSERT_TRUE(book.save());
    QWidget top;
    auto* dialog = new QWidget(&top);
    SiteLookupGate gate; // opened before the top window joins the lookup thread
    auto* window = new SiteWindow(*m_store, 255, dialog, gate.resolver());
    QSignalSpy connected(window, &SiteWindow::connectRequested);
    window->show();
    press(*window, QStringLiteral("Connect"));
    ASSERT_TRUE(window->resolving());
    EXPECT_FALSE(
        findByAccessibleName<QPushButton>(*window, QStringLiteral("Connect"))->isEnabled());
    const QString said = window->findChild<QLabel*>(QStringLiteral("message"))->text();
    EXPECT_TRUE(said.contains(QStringLiteral("nvr.example")) &&
                said.contains(QStringLiteral("recorder 2 of 2")))
        << said.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.called->load(); }, 30'000));

    press(*window, QStringLiteral("Close"));
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_FALSE(window->request());
    EXPECT_EQ(connected.count(), 0);
    delete window; // returns although the resolver call is still blocked
    QPointer<AddressLookup> lookup =
        top.findChild<AddressLookup*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_FALSE(lookup.isNull());
    delete dialog; // does not wait for the resolver
    gate.open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return lookup.isNull(); }, 30'000));
}

TEST_F(SiteWindowTest, WindowsAreSkinnedNamedAndARefusalIsReadable) {
    SiteBook book(*m_store);
    ASSERT_TRUE(
        book.add(Site{"Depot", {{"192.168.1.9", 2000, ""}, {"192.168.1.10", 2000, ""}}}).ok());
    ASSERT_TRUE(book.save());
    SiteWindow window(*m_store, 255);
    SiteEditor editor(book.sites()[0], {}, 255);
    for (QDialog* d : {static_cast<QDialog*>(&window), static_cast<QDialog*>(&editor)}) {
        EXPECT_EQ(d->palette().color(QPalette::Window), kalderPalette().color(QPalette::Window));
        for (QPushButton* b : d->findChildren<QPushButton*>()) {
            EXPECT_NE(qobject_cast<SkinButton*>(b), nullptr) << b->text().toStdString();
            EXPECT_FALSE(test::accessibleNameOf(b).isEmpty()) << b->text().toStdString();
        }
        for (QLineEdit* e : d->findChildren<QLineEdit*>())
            EXPECT_FALSE(test::accessibleNameOf(e).isEmpty()) << e->text().toStdString();
    }
    // Tab walks the window in reading order, the password rows made for the chosen site included.
    window.show();
    QStringList chain;
    QWidget* start = window.findChild<QListWidget*>(QStringLiteral("siteList"));
    for (QWidget* w = start; chain.size() < 20; w = w->nextInFocusChain()) {
        if (w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
            chain << test::accessibleNameOf(w);
        if (w->nextInFocusChain() == start)
            break;
    }
    EXPECT_EQ(chain, (QStringList{"Sites", "New", "Edit", "Delete", "Password for all recorders",
                                  "Same password for all recorders", "Connect", "Close"}));

    editor.show();
    typeInto(editor, QStringLiteral("Port of recorder 2"), QStringLiteral("65535"));
    press(editor, QStringLiteral("OK"));
    auto* message = editor.findChild<QLabel*>(QStringLiteral("message"));
    ASSERT_FALSE(message->isHidden());
    EXPECT_EQ(editor.focusWidget(),
              findByAccessibleName<QLineEdit>(editor, QStringLiteral("Port of recorder 2")));
    const int text = message->palette().color(QPalette::WindowText).lightness();
    const int frame = editor.palette().color(QPalette::Window).lightness();
    EXPECT_GT(text - frame, 100) << "the reason must stand out from the dark frame";
}

} // namespace
} // namespace kalder
