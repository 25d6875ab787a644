#pragma once

#include "setup/local/folder_picker.h"
#include "setup/local/key_map.h"
#include "setup/local/local_settings.h"
#include "setup/local/local_setup_rules.h"

#include <QDialog>

class QPushButton;
class QSettings;
class QStackedWidget;

namespace kalder {

// The local setup window: a menu of five pages (Global, Opacity, Audio buffer, Auto Save, Keys)
// over a working copy of the applied settings and of the stored key map. OK writes the new
// settings and keys to the store, creates the
// Upgrade folder and logs the change (not when running from removable media); Cancel, Close and
// the window's close box discard the edits. GUI thread only.
//
// The caller takes outcome() after exec() returned Accepted: it replaces its applied settings
// with outcome().settings and re-creates the video window only when drawModeChanged is set.
class LocalSetupWindow : public QDialog {
    Q_OBJECT
public:
    enum class Page { Menu, Global, Opacity, AudioBuffer, AutoSave, Keys };

    // `store` must outlive the window. `picker` chooses folders (the system dialog by default).
    LocalSetupWindow(const LocalSettings& applied, QSettings& store, bool removableMode,
                     QWidget* parent = nullptr, FolderPicker picker = systemFolderPicker());

    const LocalSetupOutcome& outcome() const { return m_outcome; }
    const LocalSettings& working() const { return m_working; }
    const KeyMap& workingKeys() const { return m_keys; }
    void showPage(Page page);
    Page currentPage() const;

private:
    void buildWidgets(bool removableMode, FolderPicker picker);
    void onOk();

    QSettings& m_store;
    const bool m_removableMode;
    const LocalSettings m_applied;
    LocalSettings m_working; // edited in place by the pages
    KeyMap m_keys;           // the stored keys, edited in place by the Keys page
    LocalSetupOutcome m_outcome;

    QStackedWidget* m_pages = nullptr;
};

} // namespace kalder
