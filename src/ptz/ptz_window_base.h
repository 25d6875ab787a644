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

    // A button with `toolTip` saying what it does and "control<id>" as object name. `name` is
    // what the button is (its accessible name): shown as the caption when it fits the button,
    // else the short `caption` is shown. Without `name` the caption is the name.
    QPushButton* makeButton(int id, const QString& caption, const QString& toolTip, int x, int y,
                            int w, int h, const QString& name = QString());

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
