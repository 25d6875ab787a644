#pragma once

#include "local/local_playlist.h"
#include "local/local_search_model.h"
#include "ui/search_look.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

class QPushButton;
class QTableWidget;

namespace kalder {

class ExportDialog;
class ExportProgressWindow;
struct ExportChoice;

// The local search window: the backup sets of the download folder searched without a recorder,
// by date and time, by event and by calendar and timeline; the Log tab (hidden in removable
// mode) shows the local operation log in the panel place, filled by the log feature through
// setLogContent(); the Info tab shows the client's version. A Play of any panel hands its
// request on and closes the window. GUI thread only.
class LocalSearchWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 618;
    static constexpr int kHeight = 546;
    enum class Tab { Search = 0, Log = 1, Info = 2 };
    enum class Panel { DateTime, Event, Calendar, Timeline };

    LocalSearchWindow(std::filesystem::path downloadFolder, bool removableMode, unsigned dateFormat,
                      QWidget* parent);

    void selectTab(Tab tab);
    void showPanel(Panel panel);
    void openDay(int year, int month, int day);
    // The rights-changed message (21077): the tabs the logged-in account may use.
    void rightsChanged(std::uintptr_t wParam);
    Panel panel() const { return m_panel; }
    QWidget* panelWidget() const { return m_current; }
    QPushButton* tabButton(Tab tab) const { return m_tabs[static_cast<std::size_t>(tab)]; }
    const LocalSearchData& data() const { return m_data; }
    DateFieldPopups& popups() { return m_popups; }
    Tab currentTab() const { return m_tab; }

    // ---- Export of the chosen period to standard video files. ----
    // Export…: the export dialog (not modal to the program: its Export starts the export in a
    // progress window over this one), offering the period of the panel on show (the event
    // selected, the day of the timeline, the date rows) or else every set listed.
    void openExportDialog();
    // Starts an export of `choice` from the listed sets in a progress window.
    void startExport(const ExportChoice& choice);
    QPushButton* exportButton() const { return m_export; }
    ExportDialog* exportDialog() const;
    ExportProgressWindow* exportWindow() const;
    // The initial out folder: "Export/<start of the period>" in the data folder, or in the
    // user's Videos folder when the sets are on removable media.
    std::filesystem::path defaultExportFolder(std::uint32_t from) const;

    // ---- The Log tab, filled by the log feature. ----
    // `factory` builds the log's view as children of `panelArea` (the right-hand panel place,
    // shown only while the Log tab is chosen) when the tab is first chosen, and returns what
    // is done each time the tab is chosen, the first time included: the log file is read anew
    // then. Filled once; nothing in removable mode, which has no Log tab.
    using LogShown = std::function<void()>;
    using LogFactory = std::function<LogShown(QWidget* panelArea)>;
    void setLogContent(LogFactory factory);
    QWidget* logPanelArea() const { return m_logArea; }

signals:
    void playRequested(const kalder::LocalPlayRequest& request);
    // A notification for the main window: (17, 0) when the downloads hold no recording or no
    // event.
    void notify(int category, int detail);

protected:
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void play(const LocalPlayRequest& request);
    void nothingFound();
    void leavePanel();
    void finish(bool played);

    const std::filesystem::path m_downloadFolder;
    const bool m_removableMode;
    const unsigned m_dateFormat;
    const LocalSearchData m_data;
    Panel m_panel = Panel::DateTime;
    QWidget* m_current = nullptr;
    std::array<QWidget*, 3> m_kept{}; // the date/time, event and calendar panels once made
    QWidget* m_searchMenu = nullptr;
    QTableWidget* m_info = nullptr;
    Tab m_tab = Tab::Search;
    QWidget* m_logArea = nullptr; // made by setLogContent
    LogFactory m_logFactory;      // until the Log tab is first chosen
    LogShown m_logShown;
    std::array<QPushButton*, 3> m_tabs{};
    std::array<QPushButton*, 3> m_menu{};
    DateFieldPopups m_popups{this};
    QPushButton* m_export = nullptr;
    QPointer<ExportDialog> m_exportDialog;
    QPointer<ExportProgressWindow> m_exportWindow;
    bool m_finishing = false;
    std::optional<QPoint> m_dragOffset;
};

} // namespace kalder
