#include "local/local_search_window.h"

#include "export_ui/export_dialog.h"
#include "export_ui/export_progress_window.h"
#include "local/local_search_panels.h"
#include "ui/resource_fallbacks.h"
#include "resources/resource_library.h"
#include "ui/theme.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableWidget>

#include <algorithm>
#include <ctime>

namespace kalder {

namespace {

const QRect kPanelArea{197, 83, 403, 417};
constexpr int kTabText = 2160; // Search, (Backup), Log, Info
constexpr int kVersionText = 5410;
constexpr int kWindowText = 5964;
constexpr int kNothingFoundCategory = 17; // the local search found nothing

// " %d.%d.%d.%d" of the program's version (the fourth part is 0).
QString versionText() {
    const QStringList parts = QCoreApplication::applicationVersion().split('.');
    int v[4] = {0, 1, 0, 0};
    if (!QCoreApplication::applicationVersion().isEmpty())
        for (int i = 0; i < 4; ++i)
            v[i] = i < parts.size() ? parts[i].toInt() : 0;
    return QString::asprintf(" %d.%d.%d.%d", v[0], v[1], v[2], v[3]);
}

} // namespace

LocalSearchWindow::LocalSearchWindow(std::filesystem::path downloadFolder, bool removableMode,
                                     unsigned dateFormat, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), m_downloadFolder(downloadFolder),
      m_removableMode(removableMode), m_dateFormat(dateFormat),
      m_data(loadLocalSearchData(downloadFolder)) {
    setObjectName("LocalSearchWindow");
    const QString title = resourceTextOr(kWindowText, "Local search");
    setWindowTitle(title);
    setAccessibleName(title);
    setFixedSize(kWidth, kHeight);

    const char* tabFallback[3] = {"Search", "Log", "Info"};
    const int tabText[3] = {kTabText, kTabText + 2, kTabText + 3};
    for (int i = 0; i < 3; ++i) {
        const QString caption = resourceTextOr(tabText[i], tabFallback[i]);
        auto* tab = new QPushButton(caption, this);
        tab->setAccessibleName(caption);
        tab->setCheckable(true);
        showCheckedLook(tab);
        tab->setAutoDefault(false);
        tab->setGeometry(16 + i * 104, 16, 100, 34);
        connect(tab, &QPushButton::clicked, this, [this, i] { selectTab(static_cast<Tab>(i)); });
        m_tabs[static_cast<std::size_t>(i)] = tab;
    }
    // Nothing is logged from removable media: no Log tab there, Info takes its place.
    m_tabs[1]->setVisible(!m_removableMode);
    if (m_removableMode)
        m_tabs[2]->move(m_tabs[1]->pos());

    m_searchMenu = new QWidget(this);
    m_searchMenu->setGeometry(16, 83, 170, 140);
    const char* menu[3] = {"Date/Time", "Event", "Calendar"};
    const Panel panels[3] = {Panel::DateTime, Panel::Event, Panel::Calendar};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(menu[i]), m_searchMenu);
        b->setAccessibleName(b->text());
        b->setCheckable(true);
        showCheckedLook(b);
        b->setAutoDefault(false);
        b->setGeometry(0, i * 44, 160, 36);
        connect(b, &QPushButton::clicked, this, [this, p = panels[i]] { showPanel(p); });
        m_menu[static_cast<std::size_t>(i)] = b;
    }

    m_info = new QTableWidget(1, 1, this);
    m_info->setObjectName("LocalInfoPanel");
    m_info->setAccessibleName(QStringLiteral("Info"));
    m_info->horizontalHeader()->hide();
    m_info->verticalHeader()->hide();
    m_info->horizontalHeader()->setStretchLastSection(true);
    m_info->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_info->setItem(
        0, 0, new QTableWidgetItem(resourceTextOr(kVersionText, "Client version") + versionText()));
    m_info->setGeometry(kPanelArea);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setAccessibleName(close->text());
    close->setAutoDefault(false);
    close->setGeometry(500, 506, 97, 26);
    connect(close, &QPushButton::clicked, this, [this] { finish(false); });

    m_export = new QPushButton(QStringLiteral("Export…"), this);
    m_export->setAccessibleName(QStringLiteral("Export"));
    m_export->setToolTip(QStringLiteral("Export the chosen period as MP4 or MKV files that "
                                        "ordinary players play"));
    m_export->setAutoDefault(false);
    m_export->setGeometry(396, 506, 97, 26);
    m_export->setEnabled(!m_data.sets.empty());
    connect(m_export, &QPushButton::clicked, this, &LocalSearchWindow::openExportDialog);
    setTabOrder(m_export, close);

    selectTab(Tab::Search);
    showPanel(Panel::Calendar);
    applyTheme(*this);
    if (QScreen* s = screen())
        move(s->geometry().center() - rect().center());
}

void LocalSearchWindow::nothingFound() {
    // Queued: the first panel is made while the window is being built, before anyone listens.
    QMetaObject::invokeMethod(
        this, [this] { emit notify(kNothingFoundCategory, 0); }, Qt::QueuedConnection);
}

void LocalSearchWindow::selectTab(Tab tab) {
    if (!m_tabs[static_cast<std::size_t>(tab)]->isEnabled())
        return;
    if (tab == Tab::Log && m_removableMode)
        return; // nothing is logged from removable media
    m_tab = tab;
    for (int i = 0; i < 3; ++i)
        m_tabs[static_cast<std::size_t>(i)]->setChecked(i == static_cast<int>(tab));
    const bool search = tab == Tab::Search;
    m_searchMenu->setVisible(search);
    if (m_current)
        m_current->setVisible(search);
    m_info->setVisible(tab == Tab::Info);
    m_export->setVisible(search);
    if (m_logArea)
        m_logArea->setVisible(tab == Tab::Log);
    if (tab != Tab::Log)
        return;
    if (m_logFactory) {
        // Built on the first choice of the tab; it then stays until the window closes.
        LogFactory factory = std::move(m_logFactory);
        m_logFactory = nullptr;
        m_logShown = factory(m_logArea);
    }
    if (m_logShown)
        m_logShown();
}

void LocalSearchWindow::setLogContent(LogFactory factory) {
    if (m_removableMode || m_logArea)
        return;
    m_logArea = new QWidget(this);
    m_logArea->setObjectName(QStringLiteral("LocalLogPanelArea"));
    m_logArea->setGeometry(kPanelArea);
    m_logArea->hide();
    m_logFactory = std::move(factory);
    if (m_tab == Tab::Log)
        selectTab(Tab::Log);
}

// Leaves the panel on show: a day's timeline goes (later: the panel that asked for the change may
// be on the stack, in its button's signal); the others stay, hidden, and are shown again as they
// were left.
void LocalSearchWindow::leavePanel() {
    if (!m_current)
        return;
    m_current->hide();
    if (m_panel == Panel::Timeline)
        m_current->deleteLater();
    m_current = nullptr;
}

void LocalSearchWindow::showPanel(Panel panel) {
    leavePanel();
    if (panel == Panel::Timeline)
        panel = Panel::Calendar;
    m_panel = panel;
    QWidget*& kept = m_kept[static_cast<std::size_t>(panel)];
    if (!kept) {
        auto playFn = [this](const LocalPlayRequest& r) { play(r); };
        switch (panel) {
        case Panel::DateTime: {
            const std::uint32_t initial = m_data.sets.empty()
                                              ? std::uint32_t(std::time(nullptr))
                                              : m_data.sets.front().summary.earliestStart;
            kept = new LocalDateTimePanel(initial, m_dateFormat, m_popups, playFn, this);
            break;
        }
        case Panel::Event: {
            auto* events = new LocalEventListPanel(m_data, m_dateFormat, playFn, this);
            kept = events;
            if (!events->anyEvent())
                nothingFound();
            break;
        }
        case Panel::Calendar:
        case Panel::Timeline:
            kept = new LocalCalendarPanel(
                m_data, m_popups, [this](int y, int m, int d) { openDay(y, m, d); },
                [this] { nothingFound(); }, this);
            break;
        }
        kept->setGeometry(kPanelArea);
    }
    m_current = kept;
    for (int i = 0; i < 3; ++i)
        m_menu[static_cast<std::size_t>(i)]->setChecked(i == static_cast<int>(m_panel));
    m_current->show();
}

void LocalSearchWindow::openDay(int year, int month, int day) {
    const LocalYear local = buildLocalYear(m_data, year);
    const auto found = local.segments.find({month, day});
    std::vector<DaySegment> segments;
    if (found != local.segments.end())
        segments = found->second;
    leavePanel();
    m_panel = Panel::Timeline;
    m_current = new LocalTimelinePanel(
        year, month, day, std::move(segments), m_dateFormat, m_popups,
        [this](const LocalPlayRequest& r) { play(r); }, [this] { showPanel(Panel::Calendar); },
        this);
    m_current->setGeometry(kPanelArea);
    m_current->show();
}

void LocalSearchWindow::rightsChanged(std::uintptr_t wParam) {
    const auto enabled = localTabsForRights(wParam);
    if (!enabled)
        return;
    for (std::size_t i = 0; i < 3; ++i)
        m_tabs[i]->setEnabled((*enabled)[i]);
    const bool search = (*enabled)[0];
    if (!search) {
        // Nothing of the search may be used: its menu, panel and pop-ups go away; Close stays.
        m_popups.closeAll();
        m_searchMenu->hide();
        if (m_current)
            m_current->hide();
        m_info->hide();
        if (m_logArea)
            m_logArea->hide();
        for (QPushButton* tab : m_tabs)
            tab->setChecked(false);
    } else if (std::none_of(m_tabs.begin(), m_tabs.end(),
                            [](const QPushButton* tab) { return tab->isChecked(); })) {
        selectTab(Tab::Search);
    }
}

// ---- export ----

namespace {

// The channels the listed sets hold, and those of the segments that meet [from, to].
std::pair<std::uint16_t, std::uint16_t> localExportChannels(const LocalSearchData& data,
                                                            std::uint32_t from, std::uint32_t to) {
    std::uint16_t all = 0, inPeriod = 0;
    for (const auto& segments : data.segments)
        for (const SegmentEntry& e : segments) {
            const auto mask = static_cast<std::uint16_t>(e.channelMask & 0xFFFF);
            all = static_cast<std::uint16_t>(all | mask);
            if (e.start <= to && e.end >= from)
                inPeriod = static_cast<std::uint16_t>(inPeriod | mask);
        }
    return {all, inPeriod ? inPeriod : all};
}

} // namespace

std::filesystem::path LocalSearchWindow::defaultExportFolder(std::uint32_t from) const {
    // One folder per export, named by its start, so that each manifest stays beside its files.
    const CivilTime t = decodeRecorderTime(from);
    const std::string stamp = QString::asprintf("%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day,
                                                t.hour, t.minute, t.second)
                                  .toStdString();
    if (m_removableMode) {
        // The sets are on a disc: the files go to the user's Videos folder.
        QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
        if (videos.isEmpty())
            videos = QDir::homePath();
        return std::filesystem::path(QFile::encodeName(videos).toStdString()) / "Kalder export" /
               stamp;
    }
    return m_downloadFolder.parent_path() / "Export" / stamp;
}

ExportDialog* LocalSearchWindow::exportDialog() const {
    return m_exportDialog;
}

ExportProgressWindow* LocalSearchWindow::exportWindow() const {
    return m_exportWindow;
}

void LocalSearchWindow::openExportDialog() {
    if (m_data.sets.empty() || m_exportDialog || m_exportWindow)
        return;
    // The whole of the listed sets, unless the panel on show has a period.
    std::uint32_t first = 0xFFFFFFFF, last = 0;
    for (const BackupSetInfo& set : m_data.sets) {
        first = std::min(first, set.summary.earliestStart);
        last = std::max(last, set.summary.latestEnd);
    }
    std::optional<LocalExportPeriod> period;
    if (m_current && m_current->isVisible()) {
        if (auto* events = qobject_cast<LocalEventListPanel*>(m_current))
            period = events->exportPeriod();
        else if (auto* timeline = qobject_cast<LocalTimelinePanel*>(m_current))
            period = timeline->exportPeriod();
        else if (auto* dates = qobject_cast<LocalDateTimePanel*>(m_current))
            period = dates->exportPeriod();
    }
    ExportChoice initial;
    initial.from = period ? std::max(first, period->from) : first;
    initial.to = period && period->to != 0 ? std::min(last, period->to) : last;
    if (initial.from > initial.to)
        std::swap(initial.from, initial.to);
    const auto [recorded, checked] = localExportChannels(m_data, initial.from, initial.to);
    initial.channelMask = checked;
    initial.outFolder = defaultExportFolder(initial.from);
    auto* dialog = new ExportDialog(initial, recorded, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { startExport(dialog->choice()); });
    m_exportDialog = dialog;
    dialog->open();
}

void LocalSearchWindow::startExport(const ExportChoice& choice) {
    if (m_exportWindow)
        return;
    ExportJob job;
    job.request.setsFolder = m_downloadFolder;
    job.request.outFolder = choice.outFolder;
    job.request.from = choice.from;
    job.request.to = choice.to;
    job.request.channelMask = choice.channelMask;
    job.request.format = choice.format;
    job.request.burnIn = choice.burnIn;
    // Sets on a disc or in a folder know nothing of the recorder's greeting: no identity.
    auto* window = new ExportProgressWindow(std::move(job), {}, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Over this window until it is closed: the sets it reads stay listed.
    window->setWindowModality(Qt::WindowModal);
    m_exportWindow = window;
    window->show();
    window->start();
}

void LocalSearchWindow::hideEvent(QHideEvent* event) {
    m_popups.closeAll();
    QDialog::hideEvent(event);
}

void LocalSearchWindow::play(const LocalPlayRequest& request) {
    emit playRequested(request);
    finish(true);
}

void LocalSearchWindow::finish(bool played) {
    m_finishing = true;
    m_popups.closeAll();
    done(played ? QDialog::Accepted : QDialog::Rejected);
}

void LocalSearchWindow::closeEvent(QCloseEvent* event) {
    // Like the remote search window: Alt+F4 and the window manager's close do nothing; Close
    // or a Play ends the window.
    if (!m_finishing) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void LocalSearchWindow::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape are swallowed.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Dragged by any point of its background.
void LocalSearchWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void LocalSearchWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragOffset && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - *m_dragOffset);
}

void LocalSearchWindow::mouseReleaseEvent(QMouseEvent*) {
    m_dragOffset.reset();
}

void LocalSearchWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().windowText().color());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.drawRect(kPanelArea.adjusted(-1, -1, 0, 0));
}

} // namespace kalder
