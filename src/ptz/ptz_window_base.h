#pragma once

#include <QWidget>

class QPushButton;

namespace kalder {

// The small PTZ windows: tool windows beside the main window that ignore Enter, Escape and the
// window manager's close (Alt+F4); only their own X button closes them. They take the dialogs'
// theme.
class PtzWindowBase : public QWidget {
    Q_OBJECT
public:
    explicit PtzWindowBase(QWidget* parent);

    // A button with its caption as accessible name, `toolTip` saying what it does and
    // "control<id>" as object name.
    QPushButton* makeButton(int id, const QString& caption, const QString& toolTip, int x, int y,
                            int w, int h);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

public:
    // Closing by the program (its X, the panel's rules) goes through here.
    void closeForGood();

private:
    bool m_closing = false;
};

} // namespace kalder
