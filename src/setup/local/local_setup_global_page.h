#pragma once

#include "setup/local/folder_picker.h"

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace kalder {

struct LocalSettings;

// The Global page: drawing mode, date format, snapshot format, this client's switches
// (reconnect, faster decoding in small cells, keeping the backup set after an export) and the
// data folder. The data folder is not offered when the program runs from removable media. GUI
// thread only.
class LocalSetupGlobalPage : public QWidget {
    Q_OBJECT
public:
    // `working` is the window's working copy; it must outlive the page.
    LocalSetupGlobalPage(LocalSettings& working, bool removableMode, FolderPicker picker,
                         QWidget* parent = nullptr);

private:
    void browse();

    LocalSettings& m_working;
    FolderPicker m_picker;
    QComboBox* m_drawMode = nullptr;
    QComboBox* m_dateFormat = nullptr;
    QComboBox* m_saveFormat = nullptr;
    QLineEdit* m_dataFolder = nullptr;
};

} // namespace kalder
