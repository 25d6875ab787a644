#include "connect/site_editor.h"

#include "connect/connect_dialog_rules.h"
#include "ui/ipv4_address_edit.h"
#include "ui/theme.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace kalder {

namespace {

std::string siteEditorBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString siteAddressHint() {
    return SiteEditor::tr("The recorder's IPv4 address (four numbers from 0 to 255 separated by "
                          "dots) or its host name");
}

} // namespace

SiteEditor::SiteEditor(const Site& initial, std::vector<std::string> taken, std::uint8_t opacity,
                       QWidget* parent)
    : QDialog(parent), m_taken(std::move(taken)), m_site(initial) {
    setWindowTitle(initial.name.empty() ? tr("New site")
                                        : tr("Edit site %1").arg(QString::fromUtf8(initial.name)));
    setWindowOpacity(opacity / 255.0);
    buildWidgets();
    m_name->setText(QString::fromUtf8(initial.name));
    if (initial.recorders.empty())
        appendRow(SiteRecorder{});
    for (const SiteRecorder& r : initial.recorders)
        appendRow(r);
    applyTheme(*this);
    updateWidgets();
    m_name->setFocus();
}

void SiteEditor::buildWidgets() {
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("siteName"));
    m_name->setMaxLength(kConnectTextLength);
    auto* nameLabel = new QLabel(tr("Site name"), this);
    nameLabel->setBuddy(m_name);
    m_name->setAccessibleName(nameLabel->text());
    m_name->setToolTip(tr("Names are compared without regard to case; up to %1 characters")
                           .arg(kConnectTextLength));

    auto button = [this](const char* name, const QString& caption) {
        QPushButton* b = makeDialogButton(caption, this);
        b->setObjectName(QLatin1String(name));
        // Enter presses the focused button, else OK.
        b->setAutoDefault(true);
        return b;
    };
    m_addButton = button("addRecorder", tr("Add recorder"));
    m_okButton = button("okButton", tr("OK"));
    m_okButton->setDefault(true);
    m_cancelButton = button("cancelButton", tr("Cancel"));

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setWordWrap(true);
    m_message->hide();

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_name, 1);

    m_table = new QGridLayout;
    int column = 1;
    for (const QString& caption : {tr("Address"), tr("Port"), tr("User ID")})
        m_table->addWidget(new QLabel(caption, this), 0, column++);
    m_table->setColumnStretch(1, 3);
    m_table->setColumnStretch(3, 2);

    auto* addRow = new QHBoxLayout;
    addRow->addWidget(m_addButton);
    addRow->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addSpacing(6);
    layout->addLayout(m_table);
    layout->addLayout(addRow);
    layout->addWidget(m_message);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(560, 200);

    connect(m_addButton, &QPushButton::clicked, this, &SiteEditor::addRecorder);
    connect(m_okButton, &QPushButton::clicked, this, &SiteEditor::tryAccept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void SiteEditor::appendRow(const SiteRecorder& recorder) {
    Row row;
    row.number = new QLabel(this);
    row.address = new QLineEdit(QString::fromUtf8(recorder.address), this);
    row.address->setMaxLength(kConnectTextLength);
    row.address->setToolTip(siteAddressHint());
    QLineEdit* address = row.address;
    connect(address, &QLineEdit::textEdited, this, [address](const QString& text) {
        markFieldProblem(*address, dottedAddressProblem(siteEditorBytes(text)), siteAddressHint());
    });
    row.port = new QLineEdit(QString::number(recorder.port), this);
    row.port->setMaxLength(5);
    row.port->setMaximumWidth(row.port->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) +
                              16);
    row.port->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,5}")), row.port));
    row.port->setToolTip(tr("1 to %1; recorders listen on %2 unless set otherwise")
                             .arg(kHighestRecorderPort)
                             .arg(kDefaultRecorderPort));
    row.userId = new QLineEdit(QString::fromUtf8(recorder.userId), this);
    row.userId->setMaxLength(kConnectTextLength); // longer than 16 is refused with a reason
    row.userId->setToolTip(tr("up to %1 characters").arg(kSessionFieldBytes));
    row.remove = makeDialogButton(tr("Remove"), this);
    row.remove->setAutoDefault(true);
    QPushButton* remove = row.remove;
    connect(remove, &QPushButton::clicked, this, [this, remove] { removeRow(remove); });

    const int at = int(m_rows.size()) + 1; // row 0 holds the column captions
    m_table->addWidget(row.number, at, 0);
    m_table->addWidget(row.address, at, 1);
    m_table->addWidget(row.port, at, 2);
    m_table->addWidget(row.userId, at, 3);
    m_table->addWidget(row.remove, at, 4);
    // A child added to a window already shown stays hidden until the layout's next pass, and a
    // hidden field cannot take the caret: shown now.
    for (QWidget* w :
         std::initializer_list<QWidget*>{row.number, row.address, row.port, row.userId, row.remove})
        w->show();
    m_rows.push_back(row);
}

void SiteEditor::addRecorder() {
    if (m_rows.size() >= kMaxSiteRecorders)
        return;
    appendRow(SiteRecorder{});
    updateWidgets();
    m_rows.back().address->setFocus();
}

void SiteEditor::removeRow(QPushButton* removeButton) {
    const auto it = std::find_if(m_rows.begin(), m_rows.end(),
                                 [removeButton](const Row& r) { return r.remove == removeButton; });
    if (it == m_rows.end() || m_rows.size() <= 1)
        return;
    const std::size_t index = std::size_t(it - m_rows.begin());
    for (QWidget* w : std::initializer_list<QWidget*>{it->number, it->address, it->port, it->userId,
                                                      it->remove}) {
        m_table->removeWidget(w);
        // Out of the window at once (no longer found, named or in the Tab chain); deleted once
        // the click that removes it has returned.
        w->setParent(nullptr);
        w->deleteLater();
    }
    m_rows.erase(it);
    // The rows below move up into the freed grid row.
    for (std::size_t k = index; k < m_rows.size(); ++k) {
        const Row& r = m_rows[k];
        const int at = int(k) + 1;
        for (QWidget* w : {static_cast<QWidget*>(r.number), static_cast<QWidget*>(r.address),
                           static_cast<QWidget*>(r.port), static_cast<QWidget*>(r.userId),
                           static_cast<QWidget*>(r.remove)})
            m_table->removeWidget(w);
        m_table->addWidget(r.number, at, 0);
        m_table->addWidget(r.address, at, 1);
        m_table->addWidget(r.port, at, 2);
        m_table->addWidget(r.userId, at, 3);
        m_table->addWidget(r.remove, at, 4);
    }
    updateWidgets();
    const Row& next = m_rows[std::min(index, m_rows.size() - 1)];
    next.address->setFocus();
}

void SiteEditor::updateWidgets() {
    QWidget* previous = m_name;
    for (std::size_t k = 0; k < m_rows.size(); ++k) {
        const Row& r = m_rows[k];
        const QString n = QString::number(k + 1);
        r.number->setText(tr("Recorder %1").arg(n));
        r.address->setAccessibleName(tr("Address of recorder %1").arg(n));
        r.port->setAccessibleName(tr("Port of recorder %1").arg(n));
        r.userId->setAccessibleName(tr("User ID of recorder %1").arg(n));
        r.remove->setAccessibleName(tr("Remove recorder %1").arg(n));
        // A site keeps at least one recorder.
        r.remove->setEnabled(m_rows.size() > 1);
        for (QWidget* w : {static_cast<QWidget*>(r.address), static_cast<QWidget*>(r.port),
                           static_cast<QWidget*>(r.userId), static_cast<QWidget*>(r.remove)}) {
            setTabOrder(previous, w);
            previous = w;
        }
    }
    for (QWidget* w : {static_cast<QWidget*>(m_addButton), static_cast<QWidget*>(m_okButton),
                       static_cast<QWidget*>(m_cancelButton)}) {
        setTabOrder(previous, w);
        previous = w;
    }
    const bool full = m_rows.size() >= kMaxSiteRecorders;
    m_addButton->setEnabled(!full);
    m_addButton->setToolTip(full ? tr("A site has at most %1 recorders").arg(kMaxSiteRecorders)
                                 : tr("Adds a row for one more recorder"));
}

Site SiteEditor::typedSite() const {
    Site site;
    site.name = siteEditorBytes(m_name->text());
    for (const Row& r : m_rows) {
        SiteRecorder recorder;
        recorder.address = siteEditorBytes(r.address->text());
        // Not a number from 1 to 65534 (empty, 0, 70000): 0, which the rules refuse.
        recorder.port = acceptedPort(false, siteEditorBytes(r.port->text())).value_or(0);
        recorder.userId = siteEditorBytes(r.userId->text());
        site.recorders.push_back(std::move(recorder));
    }
    return siteTrimmed(std::move(site));
}

void SiteEditor::refuse(QWidget* field, const QString& reason) {
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    field->setFocus();
    // Taken now, from the themed window: readable on its frame, plain or skinned.
    QPalette messagePalette = m_message->palette();
    messagePalette.setColor(QPalette::WindowText, warningColour(*this));
    m_message->setPalette(messagePalette);
    m_message->setText(reason);
    m_message->show();
}

void SiteEditor::tryAccept() {
    Site site = typedSite();
    const SiteCheck check = checkSite(site, m_taken);
    using Problem = SiteCheck::Problem;
    const bool onRow = check.recorder >= 0 && std::size_t(check.recorder) < m_rows.size();
    const Row* row = onRow ? &m_rows[std::size_t(check.recorder)] : nullptr;
    const QString n = QString::number(check.recorder + 1);
    switch (check.problem) {
    case Problem::None:
        break;
    case Problem::NameEmpty:
        refuse(m_name, tr("The site needs a name."));
        return;
    case Problem::NameTooLong:
        refuse(m_name, tr("The site name is limited to %1 characters.").arg(kConnectTextLength));
        return;
    case Problem::NameTaken:
        refuse(m_name, tr("Another site is already named \"%1\" (names are compared without "
                          "regard to case).")
                           .arg(m_name->text().trimmed()));
        return;
    case Problem::NoRecorders:
    case Problem::TooManyRecorders:
        // The rows keep between one and the most recorders a site may have.
        refuse(m_addButton, tr("A site has from 1 to %1 recorders.").arg(kMaxSiteRecorders));
        return;
    case Problem::AddressEmpty:
        refuse(row->address, tr("Recorder %1 needs an address.").arg(n));
        return;
    case Problem::AddressTooLong:
        refuse(row->address, tr("The address of recorder %1 is limited to %2 characters.")
                                 .arg(n)
                                 .arg(kConnectTextLength));
        return;
    case Problem::AddressNotIpv4: {
        QString problem = dottedAddressProblem(site.recorders[std::size_t(check.recorder)].address);
        if (problem.isEmpty())
            problem = tr("the address is not four numbers from 0 to 255 separated by dots.");
        markFieldProblem(*row->address, problem, siteAddressHint());
        refuse(row->address, tr("Recorder %1: %2").arg(n, problem));
        return;
    }
    case Problem::PortOutOfRange:
        refuse(row->port, tr("The port of recorder %1 must be a number from 1 to %2.")
                              .arg(n)
                              .arg(kHighestRecorderPort));
        return;
    case Problem::UserIdTooLong:
        refuse(row->userId, tr("The user ID of recorder %1 is limited to %2 characters.")
                                .arg(n)
                                .arg(kSessionFieldBytes));
        return;
    case Problem::RecorderTwice:
        refuse(row->address, tr("Recorder %1 has the same address and port as recorder %2.")
                                 .arg(n)
                                 .arg(check.other + 1));
        return;
    }
    m_message->hide();
    m_site = std::move(site);
    accept();
}

} // namespace kalder
