#pragma once

#include "setup/model/setup_context.h"
#include "setup/setup_services.h"
#include "wire/config_record.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kalder {

// A page with something to settle with the operator before it goes (the DST page's question):
// the window calls pageLeaving() before a page switch or OK closes it, not on Cancel.
class SetupPageLeaving {
public:
    virtual ~SetupPageLeaving() = default;
    virtual void pageLeaving() = 0;
    // The recorder's clock arrived (DVR_TIME_ACK).
    virtual void recorderTimeArrived(std::uint32_t) {}
    // The recorder answered a test mail: sent, or not and why (SEND_TEST_MAIL_ACK / _NACK).
    virtual void testMailAnswered(bool, const QString&) {}
};

// The recorder's setup window: four tabs (Display, Rec, System, Event), each a menu of page
// buttons; one page at a time in the page frame; OK, Cancel and Close. Every page edits the
// working copy in place, which the caller owns and which outlives the window. OK closes the
// pages and ends with Accepted (the caller sends the copy back); Cancel, Close and a close
// request end with Rejected and nothing is sent. Enter, Escape and the window's close box
// never end it: only its buttons do. GUI thread only.
class SetupWindow : public QDialog {
public:
    enum class Tab { Display, Rec, System, Event };
    static constexpr int kWidth = 618;
    static constexpr int kHeight = 546;
    static constexpr QRect pageRect() { return {197, 83, 403, 417}; }

    SetupWindow(ConfigRecord& workingCopy, SetupContext context, QWidget* parent = nullptr);

    ConfigRecord& record() { return m_record; }
    const SetupContext& context() const { return m_context; }
    // What the pages may ask of the session (test mail, factory reset); none by default.
    void setServices(SetupServices services) { m_services = std::move(services); }
    const SetupServices& services() const { return m_services; }

    void showTab(Tab tab);
    Tab currentTab() const { return m_tab; }
    // Closes the open page (and any chooser), then opens page `item` of the current tab's menu.
    void openPage(int item);
    QWidget* currentPage() const { return m_page; }
    // The menu's captions of `tab`, top to bottom.
    QStringList menuItems(Tab tab) const;

    // Choosers for the open page. At most one exists: opening one closes the other. The chosen
    // value goes to `chosen` unless the page has gone by then.
    void openListChooser(QWidget* anchor, const QStringList& entries, int width, bool fourColumns,
                         std::function<void(int)> chosen);
    // `unit`, when given, is shown after the number ("sec").
    void openNumberChooser(QWidget* anchor, int value, int minimum, int maximum,
                           std::function<void(int)> chosen, const QString& unit = QString());
    void openTimeChooser(QWidget* anchor, int hour, int minute, int second,
                         std::function<void(int, int, int)> chosen);
    QWidget* chooser() const { return m_chooser; }
    void closeChooser();
    // Escape or a click outside: the chooser closes, nothing is reported, and the focus goes
    // back to the control that opened it.
    void dismissChooser();

    // DVR_TIME_ACK's time (21076), for the page that asked.
    void recorderTimeArrived(std::uint32_t time);
    // The answer to the e-mail page's test mail, for the page that asked (shown on the page).
    void testMailAnswered(bool sent, const QString& reason);

    // The session's close request (factory reset, setup right withdrawn, disconnect): ends the
    // window as Cancel does.
    void requestClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFrame();
    void closePage();
    bool settleLeavingPage();
    void finishWith(int result);
    void placeChooser(QWidget* chooser, QWidget* anchor);
    QWidget* makePage(Tab tab, int item);

    ConfigRecord& m_record;
    const SetupContext m_context;
    SetupServices m_services;
    Tab m_tab = Tab::Display;
    std::array<QWidget*, 4> m_menus{};
    std::array<QPushButton*, 4> m_tabButtons{};
    QPointer<QWidget> m_page;
    QLabel* m_pageHint = nullptr; // shown in the empty frame until a page opens
    QPointer<QWidget> m_chooser;
    QPointer<QWidget> m_chooserAnchor;
    bool m_ending = false;
};

} // namespace kalder
