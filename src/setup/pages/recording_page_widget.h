#pragma once

#include "setup/model/recording_page.h"

#include <QPointer>
#include <QWidget>

#include <map>

class QPushButton;

namespace kalder {

class SetupWindow;

// The general recording page: its rows by record version (each a value button opening a
// chooser, or On/Off buttons for the two flags) and the Region button (482), which opens the
// region page inside this page. GUI thread only.
class RecordingPageWidget : public QWidget {
public:
    explicit RecordingPageWidget(SetupWindow& window);

    // The value button of a row (nothing for the flags or a row the version hides).
    QPushButton* valueButton(RecordingRow row) const;
    QPushButton* flagButton(unsigned which, bool on) const;
    QPushButton* regionButton() const { return m_region; }
    QWidget* subPage() const { return m_sub; }

private:
    void refresh();
    void rowClicked(RecordingRow row);

    SetupWindow& m_window;
    QWidget* m_main = nullptr;
    QPointer<QWidget> m_sub;
    std::map<RecordingRow, QPushButton*> m_values;
    std::map<std::pair<unsigned, bool>, QPushButton*> m_flags;
    QPushButton* m_region = nullptr;
};

} // namespace kalder
