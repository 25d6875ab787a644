#pragma once

#include "setup/model/mail_page.h"
#include "setup/pages/page_controls.h"
#include "setup/setup_window.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace kalder {

class SetupWindow;

// The e-mail page: four texts written on every change, the mail choice, the button to the
// time sub-page (records of major version 5 on) and Send Test Mail, which sends the mail block
// as it stands when the session is connected. The status line below says what became of the
// test mail (not sent and why, asked of the recorder, the recorder's answer) and why a server
// address is refused. The server field takes a host name or an IPv4 address; text of digits
// and dots alone is only written once it is a whole address. GUI thread only.
class MailPageWidget : public QWidget, public SetupPageLeaving {
public:
    explicit MailPageWidget(SetupWindow& window);

    QLineEdit* textEdit(std::size_t index) const { return m_edits[index]; }
    QPushButton* choiceButton() const { return m_choice.button; }
    QPushButton* timeButton() const { return m_timeButton; }
    QPushButton* testMailButton() const { return m_testMail; }
    QWidget* timePage() const { return m_timePage; }
    QLabel* statusLabel() const { return m_status; }

    void pageLeaving() override {}
    void testMailAnswered(bool sent, const QString& reason) override;

private:
    void refresh();
    void textEdited(std::size_t index, const QString& text);
    void sendTestMail();
    void openTimePage();
    void closeTimePage();

    SetupWindow& m_window;
    QWidget* m_main = nullptr;
    QVBoxLayout* m_column = nullptr;
    std::array<QLineEdit*, kMailTexts> m_edits{};
    ValueRow m_choice;
    QPushButton* m_timeButton = nullptr;
    QPushButton* m_testMail = nullptr;
    QLabel* m_status = nullptr;
    QPointer<QWidget> m_timePage;
};

} // namespace kalder
