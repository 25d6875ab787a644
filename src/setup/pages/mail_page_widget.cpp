#include "setup/pages/mail_page_widget.h"

#include "net/trace.h"
#include "setup/setup_window.h"
#include "ui/ipv4_address_edit.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalder {

namespace {

QStringList mailChoiceEntries() {
    return {QObject::tr("Daily"), QObject::tr("Hourly"), QObject::tr("Weekly")};
}

QStringList weekdayEntries() {
    return {QObject::tr("Sunday"),    QObject::tr("Monday"),   QObject::tr("Tuesday"),
            QObject::tr("Wednesday"), QObject::tr("Thursday"), QObject::tr("Friday"),
            QObject::tr("Saturday")};
}

constexpr std::size_t kServerText = 0;
constexpr std::size_t kRecipientText = 2;

QString serverTip() {
    return QObject::tr("The mail server the recorder sends through: a host name or an IPv4 "
                       "address");
}

// What a time of the e-mail time page sets, by mail choice: a daily mail at two times of day,
// an hourly one at an interval, a weekly one on a day at a time.
QString mailTimeCaption(unsigned choice, const MailTimeRow& row, int position) {
    if (row.kind == MailTimeRow::Kind::List)
        return QObject::tr("Day of the week");
    if (choice == 0)
        return position == 0 ? QObject::tr("First mail at") : QObject::tr("Second mail at");
    if (choice == 1)
        return QObject::tr("Interval between mails");
    return QObject::tr("Mail at");
}

} // namespace

MailPageWidget::MailPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("mailPage"));
    m_column = new QVBoxLayout(this);
    m_main = new QWidget(this);
    m_column->addWidget(m_main);
    const MailState state = readMail(window.record(), window.context());
    auto* grid = new QGridLayout(m_main);
    const char* captions[] = {"SMTP server", "Sender", "Recipient", "Subject"};
    for (std::size_t i = 0; i < kMailTexts; ++i) {
        auto* label = new QLabel(QString::fromLatin1(captions[i]), m_main);
        auto* edit = new QLineEdit(QString::fromLatin1(state.texts[i].c_str()), m_main);
        edit->setObjectName(QStringLiteral("mailText%1").arg(i + 1));
        edit->setAccessibleName(QString::fromLatin1(captions[i]));
        edit->setMaxLength(static_cast<int>(kMailTextMaxChars));
        label->setBuddy(edit);
        connect(edit, &QLineEdit::textEdited, this,
                [this, i](const QString& text) { textEdited(i, text); });
        if (i == kServerText) {
            edit->setToolTip(serverTip());
            // An address left half-typed is marked when the operator leaves the field.
            connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
                const QString problem = dottedAddressProblem(edit->text().toStdString());
                markFieldProblem(*edit, problem, serverTip());
                if (!problem.isEmpty())
                    m_status->setText(problem);
            });
        }
        grid->addWidget(label, static_cast<int>(2 * i), 0, 1, 3);
        grid->addWidget(edit, static_cast<int>(2 * i + 1), 0, 1, 3);
        m_edits[i] = edit;
    }
    m_choice = addValueRow(grid, 8, tr("Send"), QStringLiteral("mailChoice"), m_main);
    connect(m_choice.button, &QPushButton::clicked, this, [this] {
        m_window.openListChooser(m_choice.button, mailChoiceEntries(), 150, false, [this](int i) {
            setMailChoice(m_window.record(), static_cast<unsigned>(i));
            refresh();
        });
    });
    // The times of day the recorder mails at, on their own page.
    auto* timesLabel = new QLabel(tr("Mail times"), m_main);
    m_timeButton = pageButton(tr("Set..."), QStringLiteral("mailTime"), m_main);
    m_timeButton->setAccessibleName(tr("Mail times"));
    m_timeButton->setToolTip(tr("Opens the times of day the recorder sends its mail"));
    timesLabel->setBuddy(m_timeButton);
    timesLabel->setVisible(state.timePageButton);
    m_timeButton->setVisible(state.timePageButton);
    connect(m_timeButton, &QPushButton::clicked, this, [this] { openTimePage(); });
    m_testMail = pageButton(tr("Send Test Mail"), QStringLiteral("sendTestMail"), m_main);
    connect(m_testMail, &QPushButton::clicked, this, [this] { sendTestMail(); });
    grid->addWidget(timesLabel, 9, 0);
    grid->addWidget(m_timeButton, 9, 1, 1, 2);
    grid->addWidget(m_testMail, 10, 1, 1, 2);
    m_status = new QLabel(m_main);
    m_status->setObjectName(QStringLiteral("mailStatus"));
    m_status->setAccessibleName(tr("E-mail status"));
    m_status->setWordWrap(true);
    grid->addWidget(m_status, 11, 0, 1, 3);
    grid->setRowStretch(12, 1);
    refresh();
}

void MailPageWidget::refresh() {
    const MailState state = readMail(m_window.record(), m_window.context());
    const QStringList entries = mailChoiceEntries();
    m_choice.button->setText(state.choice < unsigned(entries.size())
                                 ? entries[int(state.choice)]
                                 : QString::number(state.choice));
}

void MailPageWidget::textEdited(std::size_t index, const QString& text) {
    const std::string kept = mailTextFromInput(text.toStdU32String());
    const QString shown = QString::fromLatin1(kept.c_str());
    if (shown != text)
        m_edits[index]->setText(shown);
    if (index == kServerText) {
        // Digits and dots alone are an IPv4 address: stored once whole, a wrong part refused.
        const Ipv4Reading reading = readIpv4Text(kept);
        const QString problem = dottedAddressProblem(kept);
        const bool wrong = !problem.isEmpty() && reading.state == Ipv4Reading::State::Wrong;
        markFieldProblem(*m_edits[index], wrong ? problem : QString(), serverTip());
        m_status->setText(wrong ? problem : QString());
        if (!problem.isEmpty())
            return;
    }
    writeMailText(m_window.record(), index, kept);
}

void MailPageWidget::sendTestMail() {
    const SetupServices& services = m_window.services();
    // Without a connection nothing is sent; the page says so.
    if (!services.connected || !services.connected() || !services.sendTestMail) {
        m_status->setText(tr("No recorder is connected: the test mail was not sent."));
        return;
    }
    const QString server = m_edits[kServerText]->text().trimmed();
    const QString recipient = m_edits[kRecipientText]->text().trimmed();
    if (server.isEmpty() || recipient.isEmpty()) {
        m_status->setText(tr("The test mail was not sent: enter the %1 first.")
                              .arg(server.isEmpty() ? tr("SMTP server") : tr("recipient")));
        return;
    }
    if (const QString problem = dottedAddressProblem(server.toStdString()); !problem.isEmpty()) {
        m_status->setText(tr("The test mail was not sent: %1").arg(problem));
        return;
    }
    const auto payload = testMailPayload(m_window.record());
    services.sendTestMail(payload);
    trace("Send... SEND_TEST_MAIL_REQ...\n");
    m_status->setText(tr("Test mail to %1 asked of the recorder (through %2); waiting for its "
                         "answer. A refusal also shows in the main window.")
                          .arg(recipient, server));
}

void MailPageWidget::testMailAnswered(bool sent, const QString& reason) {
    const QString recipient = m_edits[kRecipientText]->text().trimmed();
    m_status->setText(sent ? tr("The recorder sent the test mail to %1.").arg(recipient)
                           : tr("The recorder could not send the test mail: %1").arg(reason));
}

void MailPageWidget::openTimePage() {
    m_window.closeChooser();
    const unsigned choice = readMail(m_window.record(), m_window.context()).choice;
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("mailTimePage"));
    auto* grid = new QGridLayout(page);
    const std::vector<MailTimeRow> rows = mailTimeRows(choice);
    int r = 0;
    for (const MailTimeRow& row : rows) {
        ValueRow value = addValueRow(grid, r, mailTimeCaption(choice, row, r),
                                     QStringLiteral("mailTimeRow%1").arg(r), page);
        QPushButton* button = value.button;
        const std::size_t index = row.index;
        const auto show = [this, button, row] {
            if (row.kind == MailTimeRow::Kind::List) {
                const unsigned v = m_window.record().value(configField("mail_times"), row.index);
                const QStringList days = weekdayEntries();
                button->setText(v < unsigned(days.size()) ? days[int(v)] : QString::number(v));
            } else {
                button->setText(
                    QString::fromStdString(mailTimeText(mailTime(m_window.record(), row.index))));
            }
        };
        show();
        if (row.kind == MailTimeRow::Kind::List) {
            connect(button, &QPushButton::clicked, this, [this, button, show] {
                m_window.openListChooser(button, weekdayEntries(), 150, false, [this, show](int i) {
                    setMailTimeList(m_window.record(), static_cast<unsigned>(i));
                    show();
                });
            });
        } else {
            connect(button, &QPushButton::clicked, this, [this, button, index, show] {
                const MailTime t = mailTime(m_window.record(), index);
                m_window.openTimeChooser(button, int(std::min(t.hour, 23u)),
                                         int(std::min(t.minute, 59u)), int(std::min(t.second, 59u)),
                                         [this, index, show](int h, int m, int s) {
                                             setMailTime(m_window.record(), index,
                                                         {unsigned(h), unsigned(m), unsigned(s)});
                                             show();
                                         });
            });
        }
        ++r;
    }
    QPushButton* prev = pageButton(tr("Prev"), QStringLiteral("prev"), page);
    connect(prev, &QPushButton::clicked, this, [this] { closeTimePage(); });
    grid->addWidget(prev, r, 2);
    grid->setRowStretch(r + 1, 1);
    m_main->hide();
    m_column->addWidget(page);
    page->show();
    m_timePage = page;
}

void MailPageWidget::closeTimePage() {
    m_window.closeChooser();
    // Prev is a child of the sub-page: it goes once its click is over.
    if (m_timePage) {
        m_timePage->hide();
        m_timePage->setObjectName(QString());
        m_timePage->deleteLater();
    }
    m_timePage = nullptr;
    m_main->show();
    refresh();
}

} // namespace kalder
