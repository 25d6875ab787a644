#pragma once

#include <QLabel>
#include <QTimer>

namespace kalder {

// A line of text over a window that tells of something done (a snapshot saved and where) and
// goes by itself after a few seconds: nothing to click, nothing that takes the focus or the
// mouse. GUI thread only.
class TransientNotice : public QLabel {
    Q_OBJECT
public:
    static constexpr int kShownMs = 6000;

    explicit TransientNotice(QWidget* parent);

    // Shows `text` (replacing what is shown) for kShownMs; `toolTip` (the text when empty) is
    // also its accessible description, for the full form of what the line shortens.
    void tell(const QString& text, const QString& toolTip = QString());

private:
    QTimer m_hide;
};

} // namespace kalder
