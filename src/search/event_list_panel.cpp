#include "search/event_list_panel.h"

#include "ui/resource_fallbacks.h"
#include "search/search_play_request.h"
#include "ui/search_look.h"
#include "search/search_window.h"

#include "resources/resource_library.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

namespace kalder {

namespace {

constexpr int kEventTabText[3] = {5130, 5131, 5030}; // Alarm, Motion, Audio
const char* const kTabFallback[3] = {"Alarm", "Motion", "Audio"};

} // namespace

std::array<QPushButton*, 3> makeEventTabs(QWidget* panel, std::function<void(int)> chosen) {
    std::array<QPushButton*, 3> tabs{};
    for (int t = 0; t < 3; ++t) {
        const QString caption = resourceTextOr(kEventTabText[t], kTabFallback[t]);
        auto* b = new QPushButton(caption, panel);
        b->setAccessibleName(caption);
        b->setCheckable(true);
        showCheckedLook(b);
        b->setAutoDefault(false);
        b->setGeometry(4 + t * 96, 6, 92, 26);
        QObject::connect(b, &QPushButton::clicked, panel, [chosen, t] { chosen(t); });
        tabs[t] = b;
    }
    return tabs;
}

QTableWidget* makeEventTable(QWidget* panel) {
    auto* list = new QTableWidget(0, 3, panel);
    list->setAccessibleName(QStringLiteral("Events"));
    list->setGeometry(4, 38, 395, 340);
    list->setHorizontalHeaderLabels(
        {QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Channels")});
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(21);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(true);
    list->setColumnWidth(0, 135);
    list->setColumnWidth(1, 135);
    list->horizontalHeader()->setStretchLastSection(true);
    QPalette listPalette = list->palette();
    listPalette.setColor(QPalette::Text, QColor(60, 60, 120));
    listPalette.setColor(QPalette::Base, Qt::white);
    list->setPalette(listPalette);
    return list;
}

void fillEventTable(QTableWidget* table, std::span<const EventEntry> records, unsigned dateFormat) {
    table->clearContents();
    table->setRowCount(static_cast<int>(records.size()));
    for (int row = 0; row < static_cast<int>(records.size()); ++row) {
        const EventEntry& e = records[row];
        table->setItem(
            row, 0,
            new QTableWidgetItem(QString::fromStdString(formatListTime(e.start, dateFormat))));
        table->setItem(
            row, 1,
            new QTableWidgetItem(QString::fromStdString(formatListTime(e.end, dateFormat))));
        table->setItem(row, 2,
                       new QTableWidgetItem(QString::fromStdString(channelColumn(e.channels))));
    }
}

EventListPanel::EventListPanel(SearchWindow& window, std::optional<int> savedTab, QWidget* parent)
    : QWidget(parent), m_window(window), m_lists(sortEvents(window.events())) {
    setObjectName("EventListPanel");
    m_tabs = makeEventTabs(this, [this](int t) { selectTab(t); });
    m_list = makeEventTable(this);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &EventListPanel::updatePlayEnabled);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { play(); });

    const QString playText = resourceTextOr(kSearchPlayText, "Play");
    m_play = new QPushButton(playText, this);
    m_play->setAccessibleName(playText);
    m_play->setAutoDefault(false);
    m_play->setGeometry(328, 386, 70, 24);
    connect(m_play, &QPushButton::clicked, this, &EventListPanel::play);

    selectTab(initialEventTab(m_lists, savedTab));
}

void EventListPanel::selectTab(int tab) {
    m_tab = tab;
    for (int t = 0; t < 3; ++t)
        m_tabs[t]->setChecked(t == tab);
    fillEventTable(m_list, m_lists.byTab[tab], m_window.dateFormat());
    updatePlayEnabled();
}

void EventListPanel::updatePlayEnabled() {
    const bool selected = !m_list->selectionModel()->selectedRows().isEmpty();
    m_play->setEnabled(selected && !m_window.localPlaybackRunning());
}

void EventListPanel::play() {
    const auto rows = m_list->selectionModel()->selectedRows();
    if (rows.isEmpty() || m_window.localPlaybackRunning())
        return;
    const auto& records = m_lists.byTab[m_tab];
    const int row = rows.front().row();
    if (row < 0 || row >= static_cast<int>(records.size()))
        return;
    const EventEntry& e = records[row];
    SearchPlayRequest request;
    request.start = e.start;
    request.end = eventPlayEnd(e, m_window.recorderVersion11());
    request.channelMask = m_window.searchChannelMask();
    request.kindSelector = static_cast<std::uint8_t>(1u << e.type);
    request.source = SearchResumeContext::Source::EventList;
    SearchResumeContext context;
    context.eventTab = static_cast<SearchResumeContext::EventTab>(m_tab);
    context.events = m_window.events();
    m_window.play(request, std::move(context));
}

} // namespace kalder
