#include "search/search_window.h"

#include "search/backup_calendar_panel.h"
#include "search/backup_date_time_panel.h"
#include "search/backup_event_list_panel.h"
#include "search/backup_timeline_panel.h"
#include "search/calendar_panel.h"
#include "search/channel_select_panel.h"
#include "search/date_time_panel.h"
#include "search/day_timeline_panel.h"
#include "search/event_list_panel.h"
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
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <ctime>

namespace kalder {

namespace {

constexpr QRect kPanelArea{197, 83, 403, 417};
constexpr QRect kMenuArea{10, 83, 180, 417};
constexpr int kTabText = 2160; // 2160-2163: Search, Backup, Log, Info

std::uint16_t allChannels(unsigned count) {
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
    m_searchChannelMask = allChannels(m_channelCount);

    for (int i = 0; i < 4; ++i) {
        QString caption = resourceText(kTabText + i);
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

    m_searchMenu = new QWidget(this);
    m_searchMenu->setGeometry(10, 83, 180, 200);
    const char* menu[] = {"Date/Time", "Select Channel", "Event", "Calendar"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(menu[i]), m_searchMenu);
        b->setAccessibleName(QString::fromLatin1(menu[i]));
        b->setAutoDefault(false);
        b->setGeometry(0, i * 40, 170, 32);
        m_menuButtons[i] = b;
    }
    connect(m_menuButtons[0], &QPushButton::clicked, this, &SearchWindow::openDateTime);
    connect(m_menuButtons[1], &QPushButton::clicked, this, &SearchWindow::openChannelSelect);
    connect(m_menuButtons[2], &QPushButton::clicked, this, &SearchWindow::searchEvents);
    connect(m_menuButtons[3], &QPushButton::clicked, this, &SearchWindow::searchCalendar);
    // The backup menu: the period by date and time, the channels (the search's own choice), the
    // period by event and by calendar and timeline.
    m_backupMenu = new QWidget(this);
    m_backupMenu->setGeometry(10, 83, 180, 200);
    const char* backupMenu[] = {"Date/Time", "Select Channel", "Event", "Calendar"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(backupMenu[i]), m_backupMenu);
        b->setAccessibleName(QStringLiteral("Backup ") + QString::fromLatin1(backupMenu[i]));
        b->setAutoDefault(false);
        b->setGeometry(0, i * 40, 170, 32);
        m_backupMenuButtons[i] = b;
    }
    // What Backup makes: the set as it is, or a standard file per channel exported from it.
    m_backupMenu->resize(180, 300);
    auto* formatCaption = new QLabel(QStringLiteral("Back up as"), m_backupMenu);
    formatCaption->setGeometry(0, 172, 170, 20);
    m_backupFormat = new QComboBox(m_backupMenu);
    m_backupFormat->addItems(
        {QStringLiteral("Backup set"), QStringLiteral("MP4"), QStringLiteral("MKV")});
    m_backupFormat->setAccessibleName(QStringLiteral("Back up as"));
    m_backupFormat->setToolTip(
        QStringLiteral("Backup set: the recorder's own files, played by this client. MP4, MKV: "
                       "one file per channel that ordinary players play, with the recorder time "
                       "and a manifest of hashes"));
    m_backupFormat->setGeometry(0, 194, 170, 26);
    formatCaption->setBuddy(m_backupFormat);
    m_keepSet = new QCheckBox(QStringLiteral("Keep the backup set\nafter export"), m_backupMenu);
    m_keepSet->setAccessibleName(QStringLiteral("Keep the backup set after export"));
    m_keepSet->setToolTip(QStringLiteral("Off: the set downloaded for the export is deleted once "
                                         "the files are written"));
    m_keepSet->setChecked(true);
    m_keepSet->setGeometry(0, 226, 175, 40);
    m_keepSet->setEnabled(false);
    connect(m_backupFormat, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_keepSet->setEnabled(index != 0); });
    connect(m_keepSet, &QCheckBox::toggled, this, &SearchWindow::keepExportedSetsChanged);
    m_backupMenu->hide();
    connect(m_backupMenuButtons[0], &QPushButton::clicked, this, &SearchWindow::openBackupDateTime);
    connect(m_backupMenuButtons[1], &QPushButton::clicked, this, &SearchWindow::openChannelSelect);
    connect(m_backupMenuButtons[2], &QPushButton::clicked, this, &SearchWindow::backupEvents);
    connect(m_backupMenuButtons[3], &QPushButton::clicked, this, &SearchWindow::backupCalendar);
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
        const auto context = activeResumeContext();
        selectTab(context && context->fromLogList ? Tab::Log : Tab::Search);
        return;
    }
    enableTabs(false, true, false, false);
    if (m_session.backupOn()) {
        // Nothing this account may do while a backup runs.
        QMetaObject::invokeMethod(
            this, [this] { closeWindow(false); }, Qt::QueuedConnection);
        return;
    }
    selectTab(Tab::Backup);
}

void SearchWindow::enableTabs(bool search, bool backup, bool log, bool info) {
    m_tabs[0]->setEnabled(search);
    m_tabs[1]->setEnabled(backup);
    m_tabs[2]->setEnabled(log);
    m_tabs[3]->setEnabled(info);
}

bool SearchWindow::tabEnabled(Tab tab) const {
    return m_tabs[static_cast<int>(tab)]->isEnabled();
}

void SearchWindow::selectTab(Tab tab) {
    if (m_requestPending || modeBusy()) {
        m_tabs[static_cast<int>(tab)]->setChecked(tab == m_tab);
        return;
    }
    m_tab = tab;
    for (int i = 0; i < 4; ++i)
        m_tabs[i]->setChecked(i == static_cast<int>(tab));
    hidePanels();
    m_searchMenu->setVisible(tab == Tab::Search);
    m_backupMenu->setVisible(tab == Tab::Backup);
    showMode(tab);
    // Until a panel opens the empty panel says what to press; opening one hides the hint.
    switch (tab) {
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
    m_panelHint->setVisible(!m_panelHint->text().isEmpty());
}

void SearchWindow::showMode(Tab tab) {
    const bool filled = tab == Tab::Log || tab == Tab::Info;
    ModeSlot& chosen = m_modes[static_cast<int>(tab)];
    if (filled && chosen.factory) {
        // Built on the first choice of the tab; its panels then stay until the window closes.
        ModeFactory factory = std::move(chosen.factory);
        chosen.factory = nullptr;
        chosen.busy = factory(chosen.menuArea, chosen.panelArea);
    }
    for (const ModeSlot& mode : m_modes) {
        const bool shown = &mode == &chosen;
        if (mode.menuArea)
            mode.menuArea->setVisible(shown);
        if (mode.panelArea)
            mode.panelArea->setVisible(shown);
    }
    // A mode nobody fills says so.
    m_otherMenu->setVisible(filled && !chosen.menuArea);
    if (filled && !chosen.menuArea)
        m_otherMenu->setText(m_tabs[static_cast<int>(tab)]->text() +
                             QStringLiteral(": not available in this client yet"));
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
    mode.menuArea->setGeometry(kMenuArea);
    mode.menuArea->hide();
    mode.panelArea = new QWidget(this);
    mode.panelArea->setObjectName(name + QStringLiteral("PanelArea"));
    mode.panelArea->setGeometry(kPanelArea);
    mode.panelArea->hide();
    mode.factory = std::move(factory);
    if (m_tab == tab)
        showMode(tab);
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

void SearchWindow::hidePanels() {
    m_panelHint->hide();
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_calendar, m_timeline, m_eventList, m_channelSelect, m_dateTime, m_backupDateTime,
             m_backupCalendar, m_backupTimeline, m_backupEventList})
        if (w)
            w->hide();
}

// ---- messages ----

void SearchWindow::handleWindowMessage(int message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
    case WindowMessage::SearchYearsReady:
        onYearsReady(wParam, lParam);
        return;
    case WindowMessage::SearchDaySegmentsReady:
        onDaySegmentsReady(wParam);
        return;
    case WindowMessage::SearchEventsReady:
        onEventsReady();
        return;
    case WindowMessage::BackupYearsReady:
        onBackupYearsReady(wParam, lParam);
        return;
    case WindowMessage::BackupDaySegmentsReady:
        onBackupDaySegmentsReady(wParam);
        return;
    // The size goes to the panel that asked for it, wherever the operator has gone since.
    case WindowMessage::BackupSizeKnown:
        if (m_sizingPanel)
            m_sizingPanel->sizeKnown(static_cast<std::uint32_t>(wParam));
        return;
    case WindowMessage::BackupRefused:
        // The session has raised the refusal's alert.
        if (m_sizingPanel)
            m_sizingPanel->sizeRefused();
        return;
    case WindowMessage::RightsChanged:
        if (wParam == 0) {
            enableTabs(true, true, true, true);
        } else if (wParam == 1) {
            enableTabs(false, true, false, false);
            if (m_session.backupOn())
                closeWindow(false);
            else
                selectTab(Tab::Backup);
        } else if (wParam == 2) {
            enableTabs(true, false, true, true);
            if (m_tab == Tab::Backup)
                selectTab(Tab::Search);
        }
        return;
    default:
        return;
    }
}

void SearchWindow::onYearsReady(std::uintptr_t wParam, std::intptr_t lParam) {
    m_requestPending = false;
    const auto result = static_cast<SearchReplyResult>(wParam);
    if (result == SearchReplyResult::Refused)
        return;
    // No data (83): the calendar shows the years the window already holds.
    if (lParam != 83)
        m_years = m_session.search().years();
    openCalendar();
}

void SearchWindow::onDaySegmentsReady(std::uintptr_t wParam) {
    m_requestPending = false;
    if (static_cast<SearchReplyResult>(wParam) == SearchReplyResult::Refused)
        return;
    m_segments = m_session.search().daySegments();
    openTimeline(m_dayYear, m_dayMonth, m_dayDay, std::nullopt);
}

void SearchWindow::onEventsReady() {
    // A refusal leaves the session's list empty: the list opens empty.
    m_requestPending = false;
    m_events = m_session.search().events();
    if (m_tab == Tab::Backup)
        openBackupEventList();
    else
        openEventList(std::nullopt);
}

// ---- the search menu ----

void SearchWindow::openDateTime() {
    if (m_requestPending)
        return;
    hidePanels();
    if (!m_dateTime) {
        m_dateTime = new DateTimePanel(*this, this);
        m_dateTime->setGeometry(kPanelArea);
    }
    m_dateTime->show();
}

void SearchWindow::openChannelSelect() {
    if (m_requestPending)
        return;
    hidePanels();
    if (!m_channelSelect) {
        m_channelSelect = new ChannelSelectPanel(*this, this);
        m_channelSelect->setGeometry(kPanelArea);
    }
    m_channelSelect->show();
}

void SearchWindow::searchEvents() {
    if (m_requestPending)
        return;
    m_requestPending = true;
    const auto context = activeResumeContext();
    if (context && context->source == SearchResumeContext::Source::EventList) {
        m_requestPending = false;
        m_events = context->events;
        openEventList(static_cast<int>(context->eventTab));
        return;
    }
    m_session.search().clearResumeContext();
    m_session.search().requestEvents();
}

void SearchWindow::searchCalendar() {
    if (m_requestPending)
        return;
    m_requestPending = true;
    const auto context = activeResumeContext();
    if (context && context->source == SearchResumeContext::Source::DayTimeline) {
        m_requestPending = false;
        m_years = context->years;
        m_segments = context->segments;
        const CivilTime day = decodeRecorderTime(context->start);
        m_dayYear = day.year;
        m_dayMonth = day.month;
        m_dayDay = day.day;
        openTimeline(day.year, day.month, day.day, context->start);
        return;
    }
    m_session.search().clearResumeContext();
    m_session.search().requestYears();
}

void SearchWindow::requestDay(int year, int month, int day) {
    if (m_requestPending)
        return;
    m_requestPending = true;
    m_dayYear = year;
    m_dayMonth = month;
    m_dayDay = day;
    m_segments.clear();
    m_session.search().requestDaySegments(year, month, day);
}

void SearchWindow::openCalendar() {
    hidePanels();
    if (!m_calendar) {
        m_calendar = new CalendarPanel(*this, this);
        m_calendar->setGeometry(kPanelArea);
    }
    m_calendar->reload();
    m_calendar->show();
}

void SearchWindow::showCalendar() {
    if (m_timeline)
        m_timeline->deleteLater();
    openCalendar();
}

void SearchWindow::openTimeline(int year, int month, int day, std::optional<std::uint32_t> cursor) {
    hidePanels();
    if (m_timeline)
        delete m_timeline;
    m_timeline = new DayTimelinePanel(*this, year, month, day, this);
    m_timeline->setGeometry(kPanelArea);
    if (cursor)
        m_timeline->setCursorTime(*cursor);
    m_timeline->show();
}

void SearchWindow::openEventList(std::optional<int> savedTab) {
    hidePanels();
    if (m_eventList)
        delete m_eventList;
    m_eventList = new EventListPanel(*this, savedTab, this);
    m_eventList->setGeometry(kPanelArea);
    m_eventList->show();
}

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

// ---- the backup menu ----

void SearchWindow::openBackupDateTime() {
    if (m_requestPending)
        return;
    hidePanels();
    if (!m_backupDateTime) {
        m_backupDateTime = new BackupDateTimePanel(*this, this);
        m_backupDateTime->setGeometry(kPanelArea);
    }
    m_backupDateTime->show();
}

BackupDateTimePanel* SearchWindow::backupDateTimePanel() const {
    return m_backupDateTime;
}

BackupCalendarPanel* SearchWindow::backupCalendarPanel() const {
    return m_backupCalendar;
}

BackupTimelinePanel* SearchWindow::backupTimelinePanel() const {
    return m_backupTimeline;
}

BackupEventListPanel* SearchWindow::backupEventListPanel() const {
    return m_backupEventList;
}

void SearchWindow::backupEvents() {
    if (m_requestPending)
        return;
    m_requestPending = true;
    m_session.search().requestEvents();
}

void SearchWindow::backupCalendar() {
    if (m_requestPending)
        return;
    // A fresh choice: the start first, the recorder asked again.
    m_backupYearsCached = false;
    m_backupPeriod.endPhase = false;
    requestBackupYears();
}

void SearchWindow::requestBackupYears() {
    // The end's calendar reuses the years the window holds.
    if (m_backupYearsCached && !m_years.empty()) {
        openBackupCalendar();
        return;
    }
    m_requestPending = true;
    m_session.search().requestBackupYears();
}

void SearchWindow::onBackupYearsReady(std::uintptr_t wParam, std::intptr_t lParam) {
    m_requestPending = false;
    if (static_cast<SearchReplyResult>(wParam) == SearchReplyResult::Refused)
        return;
    // No data (83): the calendar shows the years the window already holds.
    if (lParam != 83)
        m_years = m_session.search().takeBackupYears();
    openBackupCalendar();
}

void SearchWindow::openBackupCalendar() {
    hidePanels();
    if (!m_backupCalendar) {
        m_backupCalendar = new BackupCalendarPanel(*this, this);
        m_backupCalendar->setGeometry(kPanelArea);
    }
    m_backupCalendar->reopen();
    m_backupCalendar->show();
}

void SearchWindow::chooseBackupDay(int year, int month, int day) {
    if (m_requestPending)
        return;
    CivilTime& date = m_backupPeriod.endPhase ? m_backupPeriod.end : m_backupPeriod.start;
    date.year = year;
    date.month = month;
    date.day = day;
    m_requestPending = true;
    m_segments.clear();
    m_session.search().requestBackupDaySegments(year, month, day);
}

void SearchWindow::chooseBackupStartAgain() {
    if (m_requestPending)
        return;
    m_backupPeriod.endPhase = false;
    const CivilTime& start = m_backupPeriod.start;
    chooseBackupDay(start.year, start.month, start.day);
}

void SearchWindow::onBackupDaySegmentsReady(std::uintptr_t wParam) {
    m_requestPending = false;
    if (static_cast<SearchReplyResult>(wParam) == SearchReplyResult::Refused)
        return;
    m_segments = m_session.search().takeBackupDaySegments();
    openBackupTimeline();
}

void SearchWindow::openBackupTimeline() {
    hidePanels();
    if (m_backupTimeline)
        delete m_backupTimeline;
    m_backupTimeline = new BackupTimelinePanel(*this, this);
    m_backupTimeline->setGeometry(kPanelArea);
    m_backupTimeline->show();
}

void SearchWindow::backupStartChosen(const CivilTime& start) {
    if (m_requestPending)
        return;
    m_backupPeriod.start = start;
    m_backupPeriod.endPhase = true;
    m_backupYearsCached = true;
    requestBackupYears();
}

void SearchWindow::openBackupEventList() {
    hidePanels();
    if (m_backupEventList)
        delete m_backupEventList;
    m_backupEventList = new BackupEventListPanel(*this, this);
    m_backupEventList->setGeometry(kPanelArea);
    m_backupEventList->show();
}

void SearchWindow::backupSizeRequested(BackupPeriodPanel* panel) {
    m_sizingPanel = panel;
}

SearchWindow::BackupFormat SearchWindow::backupFormat() const {
    return static_cast<BackupFormat>(std::clamp(m_backupFormat->currentIndex(), 0, 2));
}

void SearchWindow::setBackupFormat(BackupFormat format) {
    m_backupFormat->setCurrentIndex(static_cast<int>(format));
}

bool SearchWindow::keepExportedSets() const {
    return m_keepSet->isChecked();
}

void SearchWindow::setKeepExportedSets(bool keep) {
    const QSignalBlocker quiet(m_keepSet); // the stored setting itself: nothing to store again
    m_keepSet->setChecked(keep);
}

void SearchWindow::backupStarted() {
    closeWindow(false);
}

// ---- state for the panels ----

void SearchWindow::setSearchChannel(unsigned channel, bool on) {
    if (channel >= 16)
        return;
    const std::uint16_t bit = static_cast<std::uint16_t>(1u << channel);
    m_searchChannelMask =
        static_cast<std::uint16_t>(on ? m_searchChannelMask | bit : m_searchChannelMask & ~bit);
    if (m_timeline)
        m_timeline->update();
    if (m_backupTimeline)
        m_backupTimeline->update();
}

bool SearchWindow::recorderVersion11() const {
    return m_session.atLeastVersion11();
}

int SearchWindow::subProductMajor() const {
    return m_session.hello().sub_product_num_major;
}

std::optional<SearchResumeContext> SearchWindow::activeResumeContext() const {
    SearchResumeContext context = m_session.search().resumeContext();
    if (!context.active)
        return std::nullopt;
    return context;
}

void SearchWindow::setLocalPlaybackRunning(bool running) {
    m_localPlaybackRunning = running;
    if (m_timeline)
        m_timeline->updatePlayEnabled();
    if (m_eventList)
        m_eventList->updatePlayEnabled();
    if (m_dateTime)
        m_dateTime->updatePlayEnabled();
}

void SearchWindow::play(const SearchPlayRequest& request, SearchResumeContext context) {
    if (m_localPlaybackRunning || m_closed)
        return;
    emit playRequested(request);
    context.active = true;
    context.source = request.source;
    context.start = request.start;
    m_session.search().setResumeContext(std::move(context));
    m_closingForPlay = true;
    closeWindow(false);
}

void SearchWindow::postNotification(Notification notification) {
    if (m_notificationReceiver)
        postToWindow(m_notificationReceiver,
                     new WindowMessageEvent(WindowMessage::Notification, 0,
                                            static_cast<std::intptr_t>(notification.lParam())));
}

CalendarPanel* SearchWindow::calendarPanel() const {
    return m_calendar;
}
DayTimelinePanel* SearchWindow::timelinePanel() const {
    return m_timeline;
}
EventListPanel* SearchWindow::eventListPanel() const {
    return m_eventList;
}
ChannelSelectPanel* SearchWindow::channelSelectPanel() const {
    return m_channelSelect;
}
DateTimePanel* SearchWindow::dateTimePanel() const {
    return m_dateTime;
}

// ---- closing ----

void SearchWindow::closeWindow(bool cancel) {
    if (m_closed)
        return;
    m_closed = true;
    if (cancel)
        m_session.search().cancel();
    if (!m_closingForPlay && !m_session.playbackOn())
        m_session.search().clearResumeContext();
    // Later play controls use the channels chosen here.
    m_session.search().setSearchChannelMask(m_searchChannelMask);
    m_session.search().setWindowOpen(false);
    if (m_timePopup)
        m_timePopup->close();
    if (m_listPopup)
        m_listPopup->close();
    done(QDialog::Rejected);
}

void SearchWindow::closeEvent(QCloseEvent* event) {
    // Alt+F4 and the window manager's close do nothing: Close, Cancel or Play end the window.
    if (!m_closed) {
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
