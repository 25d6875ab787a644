#pragma once

#include "setup/model/camera_name_page.h"

#include <QWidget>

#include <array>

class QLineEdit;

namespace kalder {

class SetupWindow;

// The Camera Name page: one edit box per shown channel; every change goes into the channel's
// title field at once. GUI thread only.
class CameraNamePageWidget : public QWidget {
public:
    explicit CameraNamePageWidget(SetupWindow& window);
    QLineEdit* titleEdit(unsigned channel) const;

private:
    void titleEdited(unsigned channel, const QString& text);

    SetupWindow& m_window;
    CameraNameState m_state;
    std::array<QLineEdit*, 16> m_edits{};
};

} // namespace kalder
