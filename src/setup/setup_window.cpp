#include "setup/setup_window.h"

#include "setup/model/assignment_page.h"
#include "setup/pages/account_rights_page_widget.h"
#include "setup/pages/basic_page_widget.h"
#include "setup/pages/camera_name_page_widget.h"
#include "setup/pages/camera_setting_page_widget.h"
#include "setup/pages/channel_switch_page_widget.h"
#include "setup/pages/event_action_page_widget.h"
#include "setup/pages/mail_page_widget.h"
#include "setup/pages/osd_page_widget.h"
#include "setup/pages/spot_setting_page_widget.h"
#include "setup/pages/system_value_page_widgets.h"
#include "setup/pages/assignment_page_widget.h"
#include "setup/pages/profile_page_widget.h"
#include "setup/pages/recording_page_widget.h"
#include "setup/pages/dst_setup_page_widget.h"
#include "setup/pages/ntp_setup_page_widget.h"
#include "setup/pages/ptz_controller_page_widget.h"
#include "setup/pages/ptz_setup_page_widget.h"
#include "setup/setup_choosers.h"
#include "net/trace.h"
#include "ui/theme.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalder {

namespace {

const char* const kTabNames[] = {"Display", "Rec", "System", "Event"};

// The menus of the four tabs, top to bottom. Pages not built yet show what they will edit.
QStringList menuOf(SetupWindow::Tab tab, const SetupContext& context) {
    switch (tab) {
    case SetupWindow::Tab::Display:
        return {"Camera Setting", "Camera Covert", "Camera Name", "Spot Setting", "OSD On/Off"};
    case SetupWindow::Tab::Rec: {
        // Items 1 .. 6 are the recording profiles A .. F, under the names the Assignment page
        // shows for them.
        QStringList items = {"Recording"};
        for (unsigned profile = 0; profile < 6; ++profile)
            items << QString::fromStdString(recProfileName(context, profile));
        items << "Assignment";
        return items;
    }
    case SetupWindow::Tab::System: {
        QStringList items = {"Basic",     "Client Account", "Sensor",    "Auto Delete Mode",
                             "PTZ Setup", "PTZ Controller", "DST Setup", "NTP Setup"};
        if (context.version.above(4, 6))
            items << "Smart";
        items << "ETC.";
        return items;
    }
    case SetupWindow::Tab::Event:
        // The three event-action pages, by the event they answer: a sensor's alarm (with the
        // channels it concerns), motion, and the loss of a camera's picture.
        return {"E-mail", "Sensor Event", "Motion Event", "Video Loss Event"};
    }
    return {};
}

} // namespace

SetupWindow::SetupWindow(ConfigRecord& workingCopy, SetupContext context, QWidget* parent)
    : QDialog(parent), m_record(workingCopy), m_context(context) {
    setObjectName(QStringLiteral("setupWindow"));
    setWindowTitle(tr("Remote setup"));
    setFixedSize(kWidth, kHeight);
    trace("m_nMajor : %d, m_nMinor : %d\n", m_context.version.major, m_context.version.minor);
    buildFrame();
    applyTheme(*this);
    showTab(Tab::Display);
    // Sees the window's key presses and clicks before their targets do, so that an open
    // chooser closes on Escape and on a click outside it (eventFilter).
    qApp->installEventFilter(this);
}

void SetupWindow::buildFrame() {
    for (int t = 0; t < 4; ++t) {
        QPushButton* b = makeDialogButton(QString::fromLatin1(kTabNames[t]), this);
        b->setObjectName(QStringLiteral("tab%1").arg(QString::fromLatin1(kTabNames[t])));
        b->setCheckable(true);
        b->setGeometry(20 + t * 100, 20, 96, 28);
        connect(b, &QPushButton::clicked, this, [this, t] { showTab(static_cast<Tab>(t)); });
        m_tabButtons[static_cast<std::size_t>(t)] = b;
    }
    const struct {
        const char* name;
        const char* caption;
        int x;
        int result;
    } buttons[] = {{"okButton", "OK", 330, QDialog::Accepted},
                   {"cancelButton", "Cancel", 424, QDialog::Rejected},
                   {"closeButton", "Close", 518, QDialog::Rejected}};
    for (const auto& spec : buttons) {
        QPushButton* b = makeDialogButton(QString::fromLatin1(spec.caption), this);
        b->setObjectName(QLatin1String(spec.name));
        b->setGeometry(spec.x, 508, 86, 28);
        const int result = spec.result;
        connect(b, &QPushButton::clicked, this, [this, result] { finishWith(result); });
    }
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("pageFrame"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setGeometry(pageRect().adjusted(-2, -2, 2, 2));
    frame->lower();
    // Until a page is chosen the frame says where the pages are.
    m_pageHint = new QLabel(tr("Choose a tab above and a page on the left"), frame);
    m_pageHint->setObjectName(QStringLiteral("pageHint"));
    m_pageHint->setAlignment(Qt::AlignCenter);
    m_pageHint->setWordWrap(true);
    m_pageHint->setGeometry(frame->rect().adjusted(12, 12, -12, -12));
}

QStringList SetupWindow::menuItems(Tab tab) const {
    return menuOf(tab, m_context);
}

void SetupWindow::showTab(Tab tab) {
    m_tab = tab;
    const auto index = static_cast<std::size_t>(tab);
    for (std::size_t t = 0; t < m_menus.size(); ++t) {
        m_tabButtons[t]->setChecked(t == index);
        if (m_menus[t] && t != index)
            m_menus[t]->hide();
    }
    if (!m_menus[index]) {
        auto* menu = new QWidget(this);
        menu->setObjectName(QStringLiteral("menu%1").arg(QString::fromLatin1(kTabNames[index])));
        menu->setGeometry(20, 83, 160, 417);
        auto* column = new QVBoxLayout(menu);
        column->setContentsMargins(0, 0, 0, 0);
        const QStringList items = menuItems(tab);
        for (int i = 0; i < items.size(); ++i) {
            QPushButton* b = makeDialogButton(items[i], menu);
            b->setObjectName(QStringLiteral("item%1").arg(i));
            b->setCheckable(true);
            b->setAutoExclusive(true);
            connect(b, &QPushButton::clicked, this, [this, i] { openPage(i); });
            column->addWidget(b);
        }
        column->addStretch();
        m_menus[index] = menu;
    }
    m_menus[index]->show();
}

void SetupWindow::closePage() {
    closeChooser();
    if (m_page) {
        m_page->hide();
        delete m_page;
    }
}

void SetupWindow::openPage(int item) {
    if (!settleLeavingPage())
        return;
    closePage();
    // Only the open page's item shows pressed: one left pressed in another tab's menu would
    // name a page that is no longer open when that tab is shown again.
    for (std::size_t t = 0; t < m_menus.size(); ++t) {
        if (!m_menus[t] || t == static_cast<std::size_t>(m_tab))
            continue;
        for (QPushButton* b : m_menus[t]->findChildren<QPushButton*>()) {
            // An exclusive group keeps its checked button checked unless exclusivity is off.
            b->setAutoExclusive(false);
            b->setChecked(false);
            b->setAutoExclusive(true);
        }
    }
    m_page = makePage(m_tab, item);
    m_page->setParent(this);
    m_page->setGeometry(pageRect());
    m_page->show();
    m_pageHint->hide();
}

QWidget* SetupWindow::makePage(Tab tab, int item) {
    const QString caption = menuItems(tab).value(item);
    if (tab == Tab::Display && caption == QLatin1String("Camera Name"))
        return new CameraNamePageWidget(*this);
    if (tab == Tab::System && caption == QLatin1String("Client Account"))
        return new AccountRightsPageWidget(*this);
    if (tab == Tab::Display && caption == QLatin1String("Camera Setting"))
        return new CameraSettingPageWidget(*this);
    if (tab == Tab::Display && caption == QLatin1String("Camera Covert"))
        return makeCameraCovertPage(*this);
    if (tab == Tab::Display && caption == QLatin1String("Spot Setting"))
        return new SpotSettingPageWidget(*this);
    if (tab == Tab::Display && caption == QLatin1String("OSD On/Off"))
        return new OsdPageWidget(*this);
    if (tab == Tab::Event && caption == QLatin1String("E-mail"))
        return new MailPageWidget(*this);
    if (tab == Tab::Event && item >= 1 && item <= 3)
        return new EventActionPageWidget(*this, EventActionPage(item - 1));
    if (tab == Tab::System && caption == QLatin1String("Sensor"))
        return makeSensorPage(*this);
    if (tab == Tab::System && caption == QLatin1String("Basic"))
        return new BasicPageWidget(*this);
    if (tab == Tab::System && caption == QLatin1String("Auto Delete Mode"))
        return new AutoDeletePageWidget(*this);
    if (tab == Tab::System && caption == QLatin1String("Smart"))
        return new SmartPageWidget(*this);
    if (tab == Tab::System && caption == QLatin1String("ETC."))
        return new EtcPageWidget(*this);
    if (tab == Tab::Rec && caption == QLatin1String("Recording"))
        return new RecordingPageWidget(*this);
    if (tab == Tab::Rec && item >= 1 && item <= 6)
        return new ProfilePageWidget(*this, RecProfile(item - 1));
    if (tab == Tab::Rec && caption == QLatin1String("Assignment"))
        return new AssignmentPageWidget(*this);
    if (tab == Tab::System && caption == QLatin1String("PTZ Setup"))
        return new PtzSetupPageWidget(*this);
    if (tab == Tab::System && caption == QLatin1String("PTZ Controller"))
        return new PtzControllerPageWidget(*this);
    if (tab == Tab::System && caption == QLatin1String("DST Setup"))
        return new DstSetupPageWidget(*this);
    if (tab == Tab::System && caption == QLatin1String("NTP Setup"))
        return new NtpSetupPageWidget(*this);
    // A page of a later step: its title, so the operator sees where it will be.
    auto* page = new QLabel(caption + tr("\n\nThis page is not available in this version."));
    page->setObjectName(QStringLiteral("pendingPage"));
    page->setAlignment(Qt::AlignCenter);
    return page;
}

void SetupWindow::placeChooser(QWidget* chooser, QWidget* anchor) {
    // Under the calling control, kept inside the window.
    QPoint at = anchor ? anchor->mapTo(this, QPoint(0, anchor->height())) : QPoint(0, 0);
    at.setX(std::clamp(at.x(), 0, std::max(0, width() - chooser->width())));
    at.setY(std::clamp(at.y(), 0, std::max(0, height() - chooser->height())));
    chooser->move(at);
    chooser->show();
    chooser->raise();
    m_chooser = chooser;
    m_chooserAnchor = anchor;
    // Keyboard first: the chooser's first entry or slider takes the focus.
    for (QWidget* child : chooser->findChildren<QWidget*>())
        if (child->focusPolicy() & Qt::TabFocus) {
            child->setFocus(Qt::PopupFocusReason);
            break;
        }
}

void SetupWindow::openListChooser(QWidget* anchor, const QStringList& entries, int width,
                                  bool fourColumns, std::function<void(int)> chosen) {
    closeChooser();
    QPointer<QWidget> page = m_page;
    placeChooser(new ListChooser(
                     entries, width, fourColumns,
                     [page, chosen](int i) {
                         if (page && chosen)
                             chosen(i);
                     },
                     this),
                 anchor);
}

void SetupWindow::openNumberChooser(QWidget* anchor, int value, int minimum, int maximum,
                                    std::function<void(int)> chosen, const QString& unit) {
    closeChooser();
    QPointer<QWidget> page = m_page;
    auto* chooser = new NumberChooser(
        value, minimum, maximum,
        [page, chosen](int v, int, int) {
            if (page && chosen)
                chosen(v);
        },
        this);
    chooser->setUnit(unit);
    placeChooser(chooser, anchor);
}

void SetupWindow::openTimeChooser(QWidget* anchor, int hour, int minute, int second,
                                  std::function<void(int, int, int)> chosen) {
    closeChooser();
    QPointer<QWidget> page = m_page;
    placeChooser(new NumberChooser(
                     hour, minute, second,
                     [page, chosen](int h, int m, int s) {
                         if (page && chosen)
                             chosen(h, m, s);
                     },
                     this, true),
                 anchor);
}

void SetupWindow::closeChooser() {
    if (m_chooser) {
        m_chooser->hide();
        delete m_chooser;
    }
}

void SetupWindow::dismissChooser() {
    const QPointer<QWidget> anchor = m_chooserAnchor;
    closeChooser();
    if (anchor)
        anchor->setFocus(Qt::PopupFocusReason);
}

bool SetupWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!m_chooser || !m_chooser->isVisible())
        return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target->window() != this)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (target == m_chooser || m_chooser->isAncestorOf(target))
            return false;
        // The click only closes the chooser, as a pop-up menu's does: the control under it
        // (another row, OK) is not pressed by the same click.
        dismissChooser();
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            return false;
        dismissChooser();
        return true;
    default:
        return false;
    }
}

// The open page settles what it must ask before it goes. Its question runs a modal box: when
// the window has ended (or gone) meanwhile, the caller does nothing more.
bool SetupWindow::settleLeavingPage() {
    auto* leaving = dynamic_cast<SetupPageLeaving*>(m_page.data());
    if (!leaving || m_ending)
        return !m_ending;
    QPointer<SetupWindow> self(this);
    leaving->pageLeaving();
    return self && !m_ending;
}

void SetupWindow::recorderTimeArrived(std::uint32_t time) {
    if (auto* page = dynamic_cast<SetupPageLeaving*>(m_page.data()))
        page->recorderTimeArrived(time);
}

void SetupWindow::testMailAnswered(bool sent, const QString& reason) {
    if (auto* page = dynamic_cast<SetupPageLeaving*>(m_page.data()))
        page->testMailAnswered(sent, reason);
}

void SetupWindow::requestClose() {
    finishWith(QDialog::Rejected);
}

void SetupWindow::finishWith(int result) {
    // OK while a chooser is open (reached with the keyboard: a click outside the chooser only
    // closes it) closes the chooser first, its pending value unapplied, and the window stays
    // open: a value moved in a chooser counts once the chooser's own OK took it, and what the
    // page shows after this first OK is what a second OK saves. Nothing is dropped unseen.
    if (result == QDialog::Accepted && m_chooser && m_chooser->isVisible()) {
        dismissChooser();
        return;
    }
    if (result == QDialog::Accepted && !settleLeavingPage())
        return;
    // OK closes every page first: a page writes nothing after the window's result is known.
    closePage();
    m_ending = true;
    done(result);
}

void SetupWindow::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape end neither the window nor a page.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void SetupWindow::closeEvent(QCloseEvent* event) {
    // The window's close box (Alt+F4) is ignored; only the buttons end the window.
    if (m_ending)
        event->accept();
    else
        event->ignore();
}

} // namespace kalder
