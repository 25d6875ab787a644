#include "search/search_window.h"

#include "search/backup_flow.h"
#include "search/search_flow.h"
#include "ui/search_look.h"
#include "ui/list_popup.h"
#include "ui/time_popup.h"

#include "resources/resource_library.h"
#include "session/recorder_session.h"
#include "post/post_to_window.h"
#include "session/window_message.h"
#include "ui/theme.h"
#include "wire/recorder_time.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <ctime>

namespace kalder {

namespace {

constexpr QRect kSearchModeMenuArea{10, 83, 180, 417};
constexpr int kSearchTabText = 2160; // 2160-2163: Search, Backup, Log, Info

std::uint16_t allSearchChannels(unsigned count) {
    return static_cast<std::uint16_t>(count >= 16 ? 0xFFFF : (1u << count) - 1);
}

} // namespace

SearchWindow::SearchWindow(RecorderSession& session, unsigned dateFormat,
                           QObject* notificationReceiver, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), m_session(session),
      m_notificationReceiver(notificationReceiver), m_dateFormat(dateFormat),
      m_channelCount(session.channelNum()),
      m_standardOffset(standardTimeZoneOffsetSeconds(std::time(nullptr))) {
    setObjectName("SearchWindow");
    setAccessibleName(QStringLiteral("Remote search"));
    setWindowTitle(accessibleName());
    setFixedSize(kWidth, kHeight);
    m_state.searchChannelMask = allSearchChannels(m_channelCount);

    for (int i = 0; i < 4; ++i) {
        QString caption = resourceText(kSearchTabText + i);
        if (caption.isEmpty())
            caption = QStringList{"Search", "Backup", "Log", "Info"}[i];
        auto* tab = new QPushButton(caption, this);
        tab->setAccessibleName(caption);
        tab->setCheckable(true);
        showCheckedLook(tab);
        tab->setAutoDefault(false);
        tab->setGeometry(10 + i * 100, 40, 95, 30);
        connect(tab, &QPushButton::clicked, this, [this, i] { selectTab(static_cast<Tab>(i)); });
        m_tabs[i] = tab;
    }

    m_search = std::make_unique<SearchFlow>(*this, m_state, m_session);
    m_backup = std::make_unique<BackupFlow>(*this, m_state, m_session);
    m_otherMenu = new QLabel(this);
    m_otherMenu->setGeometry(10, 83, 180, 60);
    m_otherMenu->setWordWrap(true);
    m_otherMenu->hide();
    m_panelHint = new QLabel(this);
    m_panelHint->setObjectName(QStringLiteral("panelHint"));
    m_panelHint->setGeometry(kPanelArea.adjusted(24, 24, -24, -24));
    m_panelHint->setAlignment(Qt::AlignCenter);
    m_panelHint->setWordWrap(true);
    m_panelHint->hide();

    const char* bottom[] = {"OK", "Cancel", "Close"};
    std::array<QPushButton*, 3> buttons{};
    for (int i = 0; i < 3; ++i) {
        buttons[i] = makeDialogButton(QString::fromLatin1(bottom[i]), this);
        buttons[i]->setAccessibleName(QString::fromLatin1(bottom[i]));
        buttons[i]->setGeometry(318 + i * 100, 508, 90, 26);
    }
    m_ok = buttons[0];
    m_cancel = buttons[1];
    m_close = buttons[2];
    connect(m_ok, &QPushButton::clicked, this, [this] { closeWindow(false); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { closeWindow(true); });
    connect(m_close, &QPushButton::clicked, this, [this] { closeWindow(false); });

    applyTheme(*this);
    m_session.search().setWindowOpen(true);
    if (QScreen* s = screen())
        move(s->geometry().center() - rect().center());
    applyOpeningRights();
}

SearchWindow::~SearchWindow() {
    m_session.search().setWindowOpen(false);
}

// ---- rights and tabs ----

void SearchWindow::applyOpeningRights() {
    const bool search = m_session.status().maySearch();
    const bool backup = m_session.status().mayBackup();
    if (search) {
        enableTabs(true, backup && !m_session.backupOn(), true, true);
        const auto context = m_search->activeResumeContext();
        selectTab(context && context->fromLogList ? Tab::Log : Tab::Search);
        return;
    }
    enableTabs(false, true, false, false);
    if (m_session.backupOn()) {
        // Nothing this account may do while a backup runs.
        updateWidgets();
        QMetaObject::invokeMethod(
            this, [this] { closeWindow(false); }, Qt::QueuedConnection);
        return;
    }
    selectTab(Tab::Backup);
}

void SearchWindow::enableTabs(bool search, bool backup, bool log, bool info) {
    m_state.tabEnabled = {search, backup, log, info};
}

bool SearchWindow::tabEnabled(Tab tab) const {
    return m_state.tabEnabled[static_cast<int>(tab)];
}

void SearchWindow::selectTab(Tab tab) {
    // While a request or a mode waits the tab stays (a click's check mark goes again).
    if (!m_state.requestPending && !modeBusy()) {
        m_state.tab = tab;
        m_state.tabChosen = true;
        m_state.panel = SearchPanel::None;
        buildMode(tab);
    }
    updateWidgets();
}

void SearchWindow::buildMode(Tab tab) {
    ModeSlot& chosen = m_modes[static_cast<int>(tab)];
    if ((tab == Tab::Log || tab == Tab::Info) && chosen.factory) {
        // Built on the first choice of the tab; its panels then stay until the window closes.
        ModeFactory factory = std::move(chosen.factory);
        chosen.factory = nullptr;
        chosen.busy = factory(chosen.menuArea, chosen.panelArea);
    }
}

QWidget* SearchWindow::panelWidget(SearchPanel panel) const {
    if (QWidget* w = m_search->panelWidget(panel))
        return w;
    return m_backup->panelWidget(panel);
}

void SearchWindow::updateWidgets() {
    const SearchWindowState& s = m_state;
    const int chosen = s.tabChosen ? static_cast<int>(s.tab) : -1;
    for (int i = 0; i < 4; ++i) {
        m_tabs[i]->setEnabled(s.tabEnabled[i]);
        m_tabs[i]->setChecked(i == chosen);
    }
    m_backup->keepSetBox()->setEnabled(s.backupFormat != BackupFormat::Set);
    if (!s.tabChosen)
        return; // as built: the search menu, no panel, no hint

    m_search->menu()->setVisible(s.tab == Tab::Search);
    m_backup->menu()->setVisible(s.tab == Tab::Backup);
    for (int i = 0; i < 4; ++i) {
        const ModeSlot& mode = m_modes[i];
        if (mode.menuArea)
            mode.menuArea->setVisible(i == chosen);
        if (mode.panelArea)
            mode.panelArea->setVisible(i == chosen);
    }
    // A mode nobody fills says so.
    const bool filled = s.tab == Tab::Log || s.tab == Tab::Info;
    const bool unfilled = filled && !m_modes[chosen].menuArea;
    m_otherMenu->setVisible(unfilled);
    if (unfilled)
        m_otherMenu->setText(m_tabs[chosen]->text() +
                             QStringLiteral(": not available in this client yet"));

    // One panel at a time; until one opens the empty panel says what to press.
    QWidget* const shown = panelWidget(s.panel);
    for (SearchPanel p :
         {SearchPanel::DateTime, SearchPanel::ChannelSelect, SearchPanel::Calendar,
          SearchPanel::DayTimeline, SearchPanel::EventList, SearchPanel::BackupDateTime,
          SearchPanel::BackupCalendar, SearchPanel::BackupTimeline, SearchPanel::BackupEventList})
        if (QWidget* w = panelWidget(p); w && w != shown)
            w->hide();
    if (shown)
        shown->show();
    switch (s.tab) {
    case Tab::Search:
        m_panelHint->setText(tr("Choose on the left how to find the recording to play: by date "
                                "and time, by event, or in the calendar"));
        break;
    case Tab::Backup:
        m_panelHint->setText(tr("Choose on the left the channels and the period to back up"));
        break;
    case Tab::Log:
        m_panelHint->setText(tr("Choose a log on the left to list its entries"));
        break;
    default:
        m_panelHint->setText(QString());
        break;
    }
    m_panelHint->setVisible(s.panel == SearchPanel::None && !m_panelHint->text().isEmpty());

    m_search->updatePlayButtons();
}

void SearchWindow::setModeContent(Tab tab, ModeFactory factory) {
    if (tab != Tab::Log && tab != Tab::Info)
        return;
    ModeSlot& mode = m_modes[static_cast<int>(tab)];
    if (mode.menuArea)
        return; // filled once
    const QString name = m_tabs[static_cast<int>(tab)]->text();
    mode.menuArea = new QWidget(this);
    mode.menuArea->setObjectName(name + QStringLiteral("MenuArea"));
    mode.menuArea->setGeometry(kSearchModeMenuArea);
    mode.menuArea->hide();
    mode.panelArea = new QWidget(this);
    mode.panelArea->setObjectName(name + QStringLiteral("PanelArea"));
    mode.panelArea->setGeometry(kPanelArea);
    mode.panelArea->hide();
    mode.factory = std::move(factory);
    if (m_state.tabChosen && m_state.tab == tab) {
        buildMode(tab);
        updateWidgets();
    }
}

QWidget* SearchWindow::modeMenuArea(Tab tab) const {
    return m_modes[static_cast<int>(tab)].menuArea;
}

QWidget* SearchWindow::modePanelArea(Tab tab) const {
    return m_modes[static_cast<int>(tab)].panelArea;
}

bool SearchWindow::modeBusy() const {
    for (const ModeSlot& mode : m_modes)
        if (mode.busy && mode.busy())
            return true;
    return false;
}

// ---- messages ----

void SearchWindow::handleWindowMessage(int message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
    case WindowMessage::SearchYearsReady:
        m_search->onYearsReady(wParam, lParam);
        return;
    case WindowMessage::SearchDaySegmentsReady:
        m_search->onDaySegmentsReady(wParam);
        return;
    case WindowMessage::SearchEventsReady:
        // One message for both menus' event queries: the tab tells whose.
        if (m_state.tab == Tab::Backup)
            m_backup->onEventsReady();
        else
            m_search->onEventsReady();
        return;
    case WindowMessage::BackupYearsReady:
        m_backup->onYearsReady(wParam, lParam);
        return;
    case WindowMessage::BackupDaySegmentsReady:
        m_backup->onDaySegmentsReady(wParam);
        return;
    case WindowMessage::BackupSizeKnown:
        m_backup->onSizeKnown(static_cast<std::uint32_t>(wParam));
        return;
    case WindowMessage::BackupRefused:
        m_backup->onRefused();
        return;
    case WindowMessage::RightsChanged:
        if (wParam == 0) {
            enableTabs(true, true, true, true);
            updateWidgets();
        } else if (wParam == 1) {
            enableTabs(false, true, false, false);
            updateWidgets();
            if (m_session.backupOn())
                closeWindow(false);
            else
                selectTab(Tab::Backup);
        } else if (wParam == 2) {
            enableTabs(true, false, true, true);
            if (m_state.tab == Tab::Backup)
                selectTab(Tab::Search);
            else
                updateWidgets();
        }
        return;
    default:
        return;
    }
}

// ---- the flows' actions, for the panels, the main window and the tests ----

void SearchWindow::showCalendar() {
    m_search->showCalendar();
}
void SearchWindow::setSearchChannel(unsigned channel, bool on) {
    m_search->setSearchChannel(channel, on);
    m_backup->channelsChanged();
}
QPushButton* SearchWindow::menuButton(int index) const {
    return m_search->menuButton(index);
}
CalendarPanel* SearchWindow::calendarPanel() const {
    return m_search->calendarPanel();
}
DayTimelinePanel* SearchWindow::timelinePanel() const {
    return m_search->timelinePanel();
}
EventListPanel* SearchWindow::eventListPanel() const {
    return m_search->eventListPanel();
}
ChannelSelectPanel* SearchWindow::channelSelectPanel() const {
    return m_search->channelSelectPanel();
}
DateTimePanel* SearchWindow::dateTimePanel() const {
    return m_search->dateTimePanel();
}

void SearchWindow::setBackupFolder(std::filesystem::path folder) {
    m_backup->setFolder(std::move(folder));
}
void SearchWindow::setBackupFormat(BackupFormat format) {
    m_backup->setFormat(format);
}
void SearchWindow::setKeepExportedSets(bool keep) {
    m_backup->setKeepExportedSets(keep);
}
QCheckBox* SearchWindow::keepSetBox() const {
    return m_backup->keepSetBox();
}
QPushButton* SearchWindow::backupMenuButton(int index) const {
    return m_backup->menuButton(index);
}
void SearchWindow::backupStartChosen(const CivilTime& start) {
    m_backup->startChosen(start);
}
BackupDateTimePanel* SearchWindow::backupDateTimePanel() const {
    return m_backup->dateTimePanel();
}
BackupCalendarPanel* SearchWindow::backupCalendarPanel() const {
    return m_backup->calendarPanel();
}
BackupTimelinePanel* SearchWindow::backupTimelinePanel() const {
    return m_backup->timelinePanel();
}
BackupEventListPanel* SearchWindow::backupEventListPanel() const {
    return m_backup->eventListPanel();
}

// ---- pop-ups ----

void SearchWindow::openListPopup(QWidget* field, const QStringList& items, int columns, int width,
                                 std::function<void(int)> done) {
    if (m_timePopup)
        m_timePopup->close();
    if (m_listPopup)
        m_listPopup->close();
    auto* popup = new ListPopup(items, columns, width, this);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    // Centred under the field.
    const QPoint below = field->mapTo(this, QPoint(field->width() / 2, field->height()));
    popup->move(mapToGlobal(QPoint(below.x() - width / 2 + 1, below.y() + 1)));
    connect(popup, &ListPopup::chosen, this, [done = std::move(done)](int index) { done(index); });
    m_listPopup = popup;
    popup->show();
}

void SearchWindow::openTimePopup(QWidget* field, int hour, int minute, int second,
                                 std::function<void(int, int, int)> done) {
    if (m_listPopup)
        m_listPopup->close();
    if (m_timePopup)
        m_timePopup->close();
    auto* popup = new TimePopup(hour, minute, second, this);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint below = field->mapTo(this, QPoint(field->width() / 2, field->height()));
    popup->move(mapToGlobal(QPoint(below.x() - popup->width() / 2 + 1, below.y() + 1)));
    connect(popup, &TimePopup::chosen, this,
            [done = std::move(done)](int h, int m, int s) { done(h, m, s); });
    m_timePopup = popup;
    popup->show();
}

// ---- state for the panels ----

bool SearchWindow::recorderVersion11() const {
    return m_session.atLeastVersion11();
}

int SearchWindow::subProductMajor() const {
    return m_session.hello().sub_product_num_major;
}

void SearchWindow::setLocalPlaybackRunning(bool running) {
    m_state.localPlaybackRunning = running;
    updateWidgets();
}

void SearchWindow::play(const SearchPlayRequest& request, SearchResumeContext context) {
    if (m_state.localPlaybackRunning || m_state.closed)
        return;
    emit playRequested(request);
    context.active = true;
    context.source = request.source;
    context.start = request.start;
    m_session.search().setResumeContext(std::move(context));
    m_state.closingForPlay = true;
    closeWindow(false);
}

void SearchWindow::postNotification(Notification notification) {
    if (m_notificationReceiver)
        postToWindow(m_notificationReceiver,
                     new WindowMessageEvent(WindowMessage::Notification, 0,
                                            static_cast<std::intptr_t>(notification.lParam())));
}

// ---- closing ----

void SearchWindow::closeWindow(bool cancel) {
    if (m_state.closed)
        return;
    m_state.closed = true;
    if (cancel)
        m_session.search().cancel();
    if (!m_state.closingForPlay && !m_session.playbackOn())
        m_session.search().clearResumeContext();
    // Later play controls use the channels chosen here.
    m_session.search().setSearchChannelMask(m_state.searchChannelMask);
    m_session.search().setWindowOpen(false);
    if (m_timePopup)
        m_timePopup->close();
    if (m_listPopup)
        m_listPopup->close();
    done(QDialog::Rejected);
}

void SearchWindow::closeEvent(QCloseEvent* event) {
    // Alt+F4 and the window manager's close do nothing: Close, Cancel or Play end the window.
    if (!m_state.closed) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void SearchWindow::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape are swallowed.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SearchWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void SearchWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragOffset && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - *m_dragOffset);
}

void SearchWindow::mouseReleaseEvent(QMouseEvent*) {
    m_dragOffset.reset();
}

void SearchWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().windowText().color());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.drawRect(kPanelArea.adjusted(-1, -1, 0, 0));
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(12, 8, 400, 24), Qt::AlignVCenter, QStringLiteral("Remote search"));
}

} // namespace kalder
