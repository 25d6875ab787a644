#include "connect/connect_dialog.h"
#include "connect/connect_dialog_rules.h"
#include "files/connect_history.h"
#include "connect/connect_history_window.h"
#include "tests/connect/connect_dialog_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace kalder {
namespace {

using test::child;
using test::ConnectDialogTest;

TEST(ConnectRules, PortAcceptance) {
    struct Case {
        bool defaultMode;
        const char* text;
        std::optional<std::uint16_t> port;
    };
    const Case cases[] = {
        {true, "", 2000},
        {true, "65535", 2000}, // the edit is not used in default mode
        {false, "65534", 65534},
        {false, "65535", std::nullopt},
        {false, "1", 1},
        {false, "0", std::nullopt},
        {false, "", std::nullopt},
        {false, "0080", 80},
        {false, "123456", std::nullopt},
        {false, "20a0", std::nullopt},
        {false, "99999", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(acceptedPort(c.defaultMode, c.text), c.port) << c.defaultMode << " " << c.text;
}

TEST(ConnectRules, RowAfterDeleteKeepsPositionOrTakesLast) {
    EXPECT_EQ(rowAfterDelete(1, 3), 1);
    EXPECT_EQ(rowAfterDelete(3, 3), 2);
    EXPECT_EQ(rowAfterDelete(0, 0), -1);
    EXPECT_EQ(rowAfterDelete(0, 1), 0);
}

TEST_F(ConnectDialogTest, WithoutStoredPortStartsInDefaultPortModeAndConnectsTo2000) {
    m_store->setValue(ConnectDialog::addressKey(), QStringLiteral("127.0.0.1"));
    auto d = makeDialog();
    EXPECT_TRUE(d->defaultPortMode());
    auto* port = child<QLineEdit>(*d, "port");
    EXPECT_TRUE(port->text().isEmpty());
    EXPECT_FALSE(port->isEnabled());
    EXPECT_TRUE(child<QPushButton>(*d, "defaultButton")->isChecked());
    EXPECT_EQ(child<QLineEdit>(*d, "address")->text(), QStringLiteral("127.0.0.1"));
    EXPECT_DOUBLE_EQ(d->windowOpacity(), 200 / 255.0);

    ASSERT_TRUE(pressOk(*d));
    EXPECT_EQ(d->request().port, 2000);
    EXPECT_EQ(d->request().address, "127.0.0.1");
    EXPECT_EQ(m_store->value(ConnectDialog::portKey()).toUInt(), 2000u);
}

TEST_F(ConnectDialogTest, PortOutOfRangeIsRefusedAndClearedThenHighestPortAccepted) {
    m_store->setValue(ConnectDialog::addressKey(), QStringLiteral("127.0.0.1"));
    m_store->setValue(ConnectDialog::portKey(), 2000);
    auto d = makeDialog();
    EXPECT_FALSE(d->defaultPortMode());
    auto* port = child<QLineEdit>(*d, "port");
    EXPECT_TRUE(port->isEnabled());
    EXPECT_EQ(port->text(), QStringLiteral("2000"));

    port->setText(QStringLiteral("65535"));
    EXPECT_FALSE(pressOk(*d));
    EXPECT_TRUE(port->text().isEmpty());
    EXPECT_EQ(d->focusWidget(), port);
    EXPECT_FALSE(child<QLabel>(*d, "message")->isHidden());
    EXPECT_EQ(m_store->value(ConnectDialog::portKey()).toUInt(), 2000u); // nothing stored
    EXPECT_TRUE(ConnectHistory(m_historyFile).entries().empty());

    port->setText(QStringLiteral("65534"));
    ASSERT_TRUE(pressOk(*d));
    EXPECT_EQ(d->request().port, 65534);
    EXPECT_EQ(m_store->value(ConnectDialog::portKey()).toUInt(), 65534u);
}

TEST_F(ConnectDialogTest, DefaultAndModifySwitchThePortMode) {
    m_store->setValue(ConnectDialog::portKey(), 4000);
    auto d = makeDialog();
    auto* port = child<QLineEdit>(*d, "port");
    child<QPushButton>(*d, "defaultButton")->click();
    EXPECT_TRUE(d->defaultPortMode());
    EXPECT_EQ(port->text(), QStringLiteral("2000"));
    EXPECT_FALSE(port->isEnabled());
    child<QPushButton>(*d, "modifyButton")->click();
    EXPECT_FALSE(d->defaultPortMode());
    EXPECT_TRUE(port->text().isEmpty());
    EXPECT_TRUE(port->isEnabled());
    EXPECT_EQ(d->focusWidget(), port);
}

TEST_F(ConnectDialogTest, SiteTextComesFromHistoryEntryOfSameAddressAndPort) {
    ConnectHistory history(m_historyFile);
    ASSERT_TRUE(history.record("10.0.0.5", 2000, "Lobby", 10));
    ASSERT_TRUE(history.record("10.0.0.5", 3000, "Garage", 11));
    struct Case {
        QVariant storedPort;
        const char* site;
    };
    const Case cases[] = {{QVariant(), "Lobby"}, {3000, "Garage"}, {4000, ""}};
    for (const Case& c : cases) {
        m_store->setValue(ConnectDialog::addressKey(), QStringLiteral("10.0.0.5"));
        if (c.storedPort.isValid())
            m_store->setValue(ConnectDialog::portKey(), c.storedPort);
        else
            m_store->remove(ConnectDialog::portKey());
        auto d = makeDialog();
        EXPECT_EQ(child<QLineEdit>(*d, "siteText")->text(), QLatin1String(c.site))
            << c.storedPort.toString().toStdString();
    }
}

TEST_F(ConnectDialogTest, EditingAddressOrPortClearsSiteText) {
    ASSERT_TRUE(ConnectHistory(m_historyFile).record("10.0.0.5", 2000, "Lobby", 10));
    m_store->setValue(ConnectDialog::addressKey(), QStringLiteral("10.0.0.5"));
    m_store->setValue(ConnectDialog::portKey(), 2000);
    for (const char* field : {"address", "port"}) {
        auto d = makeDialog();
        auto* site = child<QLineEdit>(*d, "siteText");
        ASSERT_EQ(site->text(), QStringLiteral("Lobby"));
        child<QLineEdit>(*d, field)->setText(QStringLiteral("1"));
        EXPECT_TRUE(site->text().isEmpty()) << field;
    }
}

TEST_F(ConnectDialogTest, OkRecordsTypedAddressAndHandsOverResolvedOne) {
    auto d = makeDialog();
    child<QLineEdit>(*d, "address")->setText(QStringLiteral("010.001.000.099"));
    child<QLineEdit>(*d, "userId")->setText(QStringLiteral("Admin"));
    child<QLineEdit>(*d, "password")->setText(QStringLiteral("secret"));
    child<QLineEdit>(*d, "siteText")->setText(QStringLiteral("Shop"));
    EXPECT_EQ(child<QLineEdit>(*d, "password")->echoMode(), QLineEdit::Password);
    ASSERT_TRUE(pressOk(*d));

    const ConnectRequest expected{"10.1.0.99", 2000, "Admin", "secret", "Shop", "010.001.000.099"};
    EXPECT_EQ(d->request(), expected);
    EXPECT_EQ(m_store->value(ConnectDialog::addressKey()).toString(),
              QStringLiteral("010.001.000.099"));
    const auto entries = ConnectHistory(m_historyFile).entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], (ConnectEntry{"010.001.000.099", 2000, m_now, 0, "Shop"}));
}

TEST_F(ConnectDialogTest, UnresolvableNameGivesEmptyAddressButIsStillRecorded) {
    auto d = makeDialog();
    child<QLineEdit>(*d, "address")->setText(QStringLiteral("no-such-host.invalid"));
    ASSERT_TRUE(pressOk(*d));
    EXPECT_TRUE(d->request().address.empty());
    EXPECT_EQ(d->request().typedAddress, "no-such-host.invalid");
    EXPECT_EQ(ConnectHistory(m_historyFile).entries().size(), 1u);
}

// Digits and dots alone are an IPv4 address: a part over 255 is marked as typed and OK refuses
// it with the reason; a host name is left to the resolver.
TEST_F(ConnectDialogTest, DottedAddressWithAPartOver255IsRefusedVisibly) {
    auto d = makeDialog();
    d->show();
    auto* address = child<QLineEdit>(*d, "address");
    address->clear();
    QTest::keyClicks(address, "10.0.0.999");
    EXPECT_FALSE(address->styleSheet().isEmpty()); // the red frame
    EXPECT_TRUE(address->toolTip().contains("255"));
    EXPECT_FALSE(pressOk(*d));
    auto* message = child<QLabel>(*d, "message");
    EXPECT_TRUE(message->isVisible());
    EXPECT_TRUE(message->text().contains("255")) << message->text().toStdString();
    EXPECT_FALSE(std::filesystem::exists(m_historyFile)); // nothing recorded
    address->selectAll();
    QTest::keyClicks(address, "10.0.0.99");
    EXPECT_TRUE(address->styleSheet().isEmpty());
    EXPECT_TRUE(pressOk(*d));
    EXPECT_EQ(d->request().address, "10.0.0.99");
}

TEST_F(ConnectDialogTest, EmptyAddressIsNotRecorded) {
    ASSERT_TRUE(ConnectHistory(m_historyFile).record("10.0.0.1", 2000, "", 10));
    auto d = makeDialog();
    child<QLineEdit>(*d, "address")->clear();
    ASSERT_TRUE(pressOk(*d));
    EXPECT_TRUE(d->request().address.empty());
    ASSERT_TRUE(ConnectHistory(m_historyFile).record("10.0.0.2", 2000, "", 11));
    EXPECT_EQ(ConnectHistory(m_historyFile).entries().size(), 2u); // nothing hidden
}

TEST_F(ConnectDialogTest, OverLongUserIdOrPasswordIsRefusedVisiblyAndNotCut) {
    struct Case {
        const char* field;
        QString text;
        bool accepted;
    };
    const Case cases[] = {
        {"userId", QStringLiteral("abcdefghijklmnop"), true},   // 16 bytes
        {"userId", QStringLiteral("abcdefghijklmnopq"), false}, // 17 bytes
        {"password", QStringLiteral("0123456789abcdefg"), false},
        {"password", QString(9, QChar(0xE9)), false}, // 9 characters, 18 bytes
    };
    for (const Case& c : cases) {
        auto d = makeDialog();
        child<QLineEdit>(*d, "address")->setText(QStringLiteral("127.0.0.1"));
        auto* edit = child<QLineEdit>(*d, c.field);
        edit->setText(c.text);
        EXPECT_EQ(pressOk(*d), c.accepted) << c.field << " " << c.text.toStdString();
        EXPECT_EQ(edit->text(), c.text);
        if (!c.accepted) {
            auto* message = child<QLabel>(*d, "message");
            EXPECT_FALSE(message->isHidden());
            EXPECT_TRUE(message->text().contains(QStringLiteral("16")));
            EXPECT_EQ(d->focusWidget(), edit);
        }
    }
    // Only the accepted attempt was recorded.
    EXPECT_EQ(ConnectHistory(m_historyFile).entries().size(), 1u);
}

TEST_F(ConnectDialogTest, HistoryButtonFillsDialogFromChosenEntry) {
    ConnectHistory history(m_historyFile);
    ASSERT_TRUE(history.record("10.0.0.7", 2100, "Depot", 10));
    ASSERT_TRUE(history.record("10.0.0.8", 2200, "Office", 20));
    auto d = makeDialog();
    bool sawWindow = false;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<ConnectHistoryWindow*>(QApplication::activeModalWidget());
        if (!w)
            return;
        sawWindow = true;
        auto* list = w->findChild<QTreeWidget*>(QStringLiteral("historyList"));
        list->setCurrentItem(list->topLevelItem(1)); // older one: 10.0.0.7
        w->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    child<QPushButton>(*d, "historyButton")->click();
    ASSERT_TRUE(sawWindow);
    EXPECT_EQ(child<QLineEdit>(*d, "address")->text(), QStringLiteral("10.0.0.7"));
    EXPECT_EQ(child<QLineEdit>(*d, "port")->text(), QStringLiteral("2100"));
    EXPECT_EQ(child<QLineEdit>(*d, "siteText")->text(), QStringLiteral("Depot"));
    // Still in default-port mode: the shown port is not used.
    ASSERT_TRUE(pressOk(*d));
    EXPECT_EQ(d->request().port, 2000);
}

class ConnectHistoryWindowTest : public ConnectDialogTest {
protected:
    void SetUp() override {
        ConnectDialogTest::SetUp();
        ConnectHistory history(m_historyFile);
        // File order A B C D; use order newest first: C D B A.
        ASSERT_TRUE(history.record("A", 1, "a", 100));
        ASSERT_TRUE(history.record("B", 2, "b", 200));
        ASSERT_TRUE(history.record("C", 3, "c", 400));
        ASSERT_TRUE(history.record("D", 4, "d", 300));
    }
    static QStringList shownAddresses(ConnectHistoryWindow& w) {
        QStringList out;
        auto* list = w.findChild<QTreeWidget*>(QStringLiteral("historyList"));
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(0);
        return out;
    }
    static void select(ConnectHistoryWindow& w, int row) {
        auto* list = w.findChild<QTreeWidget*>(QStringLiteral("historyList"));
        list->setCurrentItem(list->topLevelItem(row));
    }
    static int selected(ConnectHistoryWindow& w) {
        auto* list = w.findChild<QTreeWidget*>(QStringLiteral("historyList"));
        const auto items = list->selectedItems();
        return items.isEmpty() ? -1 : list->indexOfTopLevelItem(items.first());
    }
    std::vector<std::string> fileAddresses() const {
        std::vector<std::string> out;
        for (const auto& e : ConnectHistory(m_historyFile).entries())
            out.push_back(e.address);
        return out;
    }
};

TEST_F(ConnectHistoryWindowTest, ListsNewestFirstAndSelectionEnablesButtons) {
    ConnectHistoryWindow w(m_historyFile, 255);
    EXPECT_EQ(shownAddresses(w), (QStringList{"C", "D", "B", "A"}));
    for (const char* name : {"deleteButton", "editButton", "okButton"})
        EXPECT_FALSE(child<QPushButton>(w, name)->isEnabled()) << name;
    select(w, 2);
    for (const char* name : {"deleteButton", "editButton", "okButton"})
        EXPECT_TRUE(child<QPushButton>(w, name)->isEnabled()) << name;
    child<QPushButton>(w, "okButton")->click();
    ASSERT_TRUE(w.chosen().has_value());
    EXPECT_EQ(w.chosen()->address, "B");
    EXPECT_EQ(w.result(), QDialog::Accepted);
}

TEST_F(ConnectHistoryWindowTest, DeleteRewritesFileAndSelectsSamePositionOrLast) {
    ConnectHistoryWindow w(m_historyFile, 255);
    select(w, 1); // D
    child<QPushButton>(w, "deleteButton")->click();
    EXPECT_EQ(fileAddresses(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(shownAddresses(w), (QStringList{"C", "B", "A"}));
    EXPECT_EQ(selected(w), 1);

    select(w, 2); // A, the last row
    child<QPushButton>(w, "deleteButton")->click();
    EXPECT_EQ(fileAddresses(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(selected(w), 1);
    EXPECT_EQ(shownAddresses(w), (QStringList{"C", "B"}));
}

TEST_F(ConnectHistoryWindowTest, EditAndSaveReplaceSiteTextInFile) {
    ConnectHistoryWindow w(m_historyFile, 255);
    auto* edit = child<QPushButton>(w, "editButton");
    auto* save = child<QPushButton>(w, "saveButton");
    auto* site = child<QLineEdit>(w, "siteEdit");
    EXPECT_FALSE(site->isEnabled());
    EXPECT_TRUE(save->isHidden());

    select(w, 0); // C
    edit->click();
    EXPECT_TRUE(site->isEnabled());
    EXPECT_EQ(site->text(), QStringLiteral("c"));
    EXPECT_TRUE(edit->isHidden());
    EXPECT_FALSE(save->isHidden());

    site->setText(QStringLiteral("Warehouse"));
    save->click();
    EXPECT_EQ(ConnectHistory(m_historyFile).find("C", 3)->siteText, "Warehouse");
    auto* list = w.findChild<QTreeWidget*>(QStringLiteral("historyList"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("Warehouse"));
    EXPECT_FALSE(site->isEnabled());
    EXPECT_FALSE(edit->isHidden());
    EXPECT_TRUE(save->isHidden());
    EXPECT_EQ(ConnectHistory(m_historyFile).find("C", 3)->lastUsed, 400u); // order kept
}

TEST_F(ConnectHistoryWindowTest, SelectionChangeCancelsEdit) {
    ConnectHistoryWindow w(m_historyFile, 255);
    select(w, 0);
    child<QPushButton>(w, "editButton")->click();
    child<QLineEdit>(w, "siteEdit")->setText(QStringLiteral("not saved"));
    select(w, 1);
    EXPECT_FALSE(child<QLineEdit>(w, "siteEdit")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(w, "saveButton")->isHidden());
    EXPECT_EQ(ConnectHistory(m_historyFile).find("C", 3)->siteText, "c");
}

TEST_F(ConnectHistoryWindowTest, MissingFileShowsNothing) {
    ConnectHistoryWindow w(m_historyFile.parent_path() / "absent.log", 255);
    EXPECT_TRUE(shownAddresses(w).isEmpty());
    EXPECT_FALSE(child<QPushButton>(w, "okButton")->isEnabled());
}

} // namespace
} // namespace kalder
