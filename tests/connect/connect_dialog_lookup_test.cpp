// The connect dialog resolves host names on a lookup thread: the window keeps running while a
// name server is slow, Cancel abandons the lookup, and a late answer goes nowhere.
#include "connect/address_lookup.h"
#include "connect/connect_dialog.h"
#include "files/connect_history.h"
#include "tests/connect/connect_dialog_fixture.h"

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace kalder {
namespace {

using test::child;
using test::ConnectDialogTest;

// A name server that answers only when the test opens the gate. Shared with the lookup thread,
// which may still be inside the call when the test ends.
class GatedResolver {
public:
    static std::shared_ptr<GatedResolver> make() { return std::make_shared<GatedResolver>(); }
    static NameLookup::Resolver function(std::shared_ptr<GatedResolver> gate) {
        return [gate](std::string_view typed) { return gate->resolve(typed); };
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool waitForCalls(int n) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_calls >= n; });
    }

private:
    std::string resolve(std::string_view typed) {
        std::unique_lock lock(m_mutex);
        ++m_calls;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
        return typed == "recorder.example" ? "192.0.2.7" : "";
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_calls = 0;     // guarded by m_mutex
    bool m_open = false; // guarded by m_mutex
};

// Opens the gate when the test ends, before the dialog (declared earlier) joins the lookup thread.
struct OpenOnExit {
    std::shared_ptr<GatedResolver> gate;
    ~OpenOnExit() { gate->open(); }
};

const char* const kInputs[] = {"address",       "userId",       "password",      "siteText",
                               "defaultButton", "modifyButton", "historyButton", "okButton"};

TEST_F(ConnectDialogTest, HostNameResolvesThroughTheQueuedAnswer) {
    auto d = makeDialog();
    child<QLineEdit>(*d, "address")->setText(QStringLiteral("localhost"));
    child<QPushButton>(*d, "okButton")->click();
    // The answer is posted: nothing is decided before the event loop runs.
    EXPECT_TRUE(d->resolving());
    EXPECT_NE(d->result(), QDialog::Accepted);
    waitWhileResolving(*d);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->request().address, "127.0.0.1");
    EXPECT_EQ(d->request().typedAddress, "localhost");
    EXPECT_EQ(m_store->value(ConnectDialog::addressKey()).toString(), QStringLiteral("localhost"));
    EXPECT_EQ(ConnectHistory(m_historyFile).entries().size(), 1u);
}

TEST_F(ConnectDialogTest, WhileResolvingTheDialogSaysSoLocksItsInputsAndKeepsRunning) {
    auto gate = GatedResolver::make();
    auto d = makeDialog(GatedResolver::function(gate));
    OpenOnExit opener{gate};
    child<QLineEdit>(*d, "address")->setText(QStringLiteral("recorder.example"));
    child<QLineEdit>(*d, "siteText")->setText(QStringLiteral("Yard"));
    d->show();
    child<QPushButton>(*d, "okButton")->click();
    ASSERT_TRUE(gate->waitForCalls(1));

    ASSERT_TRUE(d->resolving());
    auto* message = child<QLabel>(*d, "message");
    EXPECT_FALSE(message->isHidden());
    EXPECT_TRUE(message->text().contains(QStringLiteral("recorder.example")));
    for (const char* name : kInputs)
        EXPECT_FALSE(child<QWidget>(*d, name)->isEnabled()) << name;
    EXPECT_FALSE(child<QLineEdit>(*d, "port")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(*d, "cancelButton")->isEnabled());

    // The GUI thread is not held by the lookup: its timers still fire.
    bool ticked = false;
    QTimer::singleShot(0, [&] { ticked = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 30'000));
    EXPECT_TRUE(d->resolving());
    EXPECT_TRUE(ConnectHistory(m_historyFile).entries().empty()); // nothing recorded yet

    gate->open();
    waitWhileResolving(*d);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->request().address, "192.0.2.7");
    EXPECT_EQ(d->request().siteText, "Yard");
    EXPECT_EQ(ConnectHistory(m_historyFile).entries().size(), 1u);
    EXPECT_TRUE(message->isHidden());
    for (const char* name : kInputs)
        EXPECT_TRUE(child<QWidget>(*d, name)->isEnabled()) << name;
}

TEST_F(ConnectDialogTest, CancelWhileResolvingClosesAsCancelAndTheLateAnswerChangesNothing) {
    auto gate = GatedResolver::make();
    auto d = makeDialog(GatedResolver::function(gate));
    OpenOnExit opener{gate};
    QSignalSpy finished(d.get(), &QDialog::finished);
    child<QLineEdit>(*d, "address")->setText(QStringLiteral("recorder.example"));
    child<QPushButton>(*d, "okButton")->click();
    ASSERT_TRUE(gate->waitForCalls(1));

    child<QPushButton>(*d, "cancelButton")->click();
    EXPECT_FALSE(d->resolving());
    EXPECT_EQ(d->result(), QDialog::Rejected);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished[0][0].toInt(), int(QDialog::Rejected));
    EXPECT_TRUE(child<QLabel>(*d, "message")->isHidden());
    for (const char* name : kInputs)
        EXPECT_TRUE(child<QWidget>(*d, name)->isEnabled()) << name;

    // The abandoned call answers; the dialog takes no notice.
    auto* lookup = d->findChild<AddressLookup*>();
    ASSERT_NE(lookup, nullptr);
    EXPECT_TRUE(lookup->busy());
    gate->open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lookup->busy(); }, 30'000));
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(d->request(), ConnectRequest{});
    EXPECT_FALSE(m_store->contains(ConnectDialog::addressKey()));
    EXPECT_TRUE(ConnectHistory(m_historyFile).entries().empty());

    // The same dialog connects on the next OK.
    EXPECT_TRUE(pressOk(*d));
    EXPECT_EQ(d->request().address, "192.0.2.7");
}

// A dialog deleted while its resolver call hangs does not wait for it: the lookup stays with
// the dialog's parent until the call has answered, then goes.
TEST_F(ConnectDialogTest, DialogDeletedDuringALookupLeavesItWithItsParent) {
    auto gate = GatedResolver::make();
    OpenOnExit opener{gate};
    QWidget parent;
    auto d = makeDialog(GatedResolver::function(gate), &parent);
    child<QLineEdit>(*d, "address")->setText(QStringLiteral("recorder.example"));
    child<QPushButton>(*d, "okButton")->click();
    ASSERT_TRUE(gate->waitForCalls(1));
    child<QPushButton>(*d, "cancelButton")->click();
    d.reset(); // returns although the resolver call is still blocked

    QPointer<AddressLookup> lookup = parent.findChild<AddressLookup*>();
    ASSERT_FALSE(lookup.isNull());
    gate->open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return lookup.isNull(); }, 30'000));
}

} // namespace
} // namespace kalder
