#include "connect/site_window.h"

#include "connect/address_lookup.h"
#include "connect/connect_dialog_rules.h"
#include "connect/site_editor.h"
#include "net/name_resolver.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <utility>

namespace kalder {

namespace {

QString siteWindowText(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// "10.0.0.5:2000"
QString recorderPlace(const SiteRecorder& r) {
    return QStringLiteral("%1:%2").arg(siteWindowText(r.address)).arg(r.port);
}

bool sameUserEverywhere(const Site& site) {
    for (const SiteRecorder& r : site.recorders) {
        if (r.userId != site.recorders.front().userId)
            return false;
    }
    return true;
}

} // namespace

SiteWindow::SiteWindow(QSettings& store, std::uint8_t opacity, QWidget* parent,
                       NameLookup::Resolver resolver)
    : QDialog(parent), m_store(store), m_opacity(opacity), m_book(store),
      m_lookup(new AddressLookup(std::move(resolver), this)) {
    connect(m_lookup, &AddressLookup::resolved, this, &SiteWindow::takeResolved);
    setWindowTitle(tr("Sites"));
    setWindowOpacity(m_opacity / 255.0);
    buildWidgets();
    applyTheme(*this);
    m_book.load();
    // The site connected last is offered first.
    const auto last = m_book.find(m_book.lastSite());
    reload(last ? int(*last) : 0);
    m_list->setFocus();
}

SiteWindow::~SiteWindow() {
    // As in the connect dialog: a resolver call cannot be interrupted, so a lookup under way
    // stays with a longer-lived window until the call has answered. Not the parent: that is the
    // connect dialog, which may close (and join the lookup thread) before the call answers; the
    // top of the parent chain is the main window, which lives for the whole run.
    m_lookup->abandon();
    if (m_lookup->busy() && parent()) {
        QObject* keeper = parent();
        while (keeper->parent())
            keeper = keeper->parent();
        m_lookup->outliveOwner(keeper);
    }
}

void SiteWindow::buildWidgets() {
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("siteList"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* listLabel = new QLabel(tr("Sites"), this);
    listLabel->setBuddy(m_list);
    m_list->setAccessibleName(listLabel->text());

    auto button = [this](const char* name, const QString& caption) {
        QPushButton* b = makeDialogButton(caption, this);
        b->setObjectName(QLatin1String(name));
        // Enter presses the focused button (Tab to Close and Enter closes), else Connect.
        b->setAutoDefault(true);
        return b;
    };
    m_newButton = button("newButton", tr("New"));
    m_editButton = button("editButton", tr("Edit"));
    m_deleteButton = button("deleteButton", tr("Delete"));
    m_connectButton = button("connectButton", tr("Connect"));
    m_connectButton->setDefault(true);
    m_closeButton = button("closeButton", tr("Close"));

    m_samePassword = new QCheckBox(tr("Same password for all recorders"), this);
    m_samePassword->setObjectName(QStringLiteral("samePassword"));
    m_recordersCaption = new QLabel(this);
    m_recorders = new QGridLayout;
    m_recorders->setColumnStretch(1, 1);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setWordWrap(true);
    m_message->hide();

    auto* siteButtons = new QVBoxLayout;
    siteButtons->addWidget(m_newButton);
    siteButtons->addWidget(m_editButton);
    siteButtons->addWidget(m_deleteButton);
    siteButtons->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_list, 1);
    listRow->addLayout(siteButtons);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_connectButton);
    buttons->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addLayout(listRow, 1);
    layout->addSpacing(6);
    layout->addWidget(m_recordersCaption);
    layout->addLayout(m_recorders);
    layout->addWidget(m_samePassword);
    layout->addWidget(m_message);
    layout->addLayout(buttons);
    resize(520, 400);

    connect(m_list, &QListWidget::itemSelectionChanged, this, &SiteWindow::showSelectedSite);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &SiteWindow::tryConnect);
    connect(m_samePassword, &QCheckBox::toggled, this, &SiteWindow::updateWidgets);
    connect(m_newButton, &QPushButton::clicked, this, &SiteWindow::onNew);
    connect(m_editButton, &QPushButton::clicked, this, &SiteWindow::onEdit);
    connect(m_deleteButton, &QPushButton::clicked, this, &SiteWindow::onDelete);
    connect(m_connectButton, &QPushButton::clicked, this, &SiteWindow::tryConnect);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void SiteWindow::reload(int row) {
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    for (const Site& site : m_book.sites()) {
        auto* item = new QListWidgetItem(m_list);
        const QString name = siteWindowText(site.name);
        item->setText(site.recorders.size() == 1
                          ? tr("%1 (1 recorder)").arg(name)
                          : tr("%1 (%2 recorders)").arg(name).arg(site.recorders.size()));
    }
    if (row >= 0 && row < m_list->count())
        m_list->setCurrentRow(row);
    showSelectedSite();
}

int SiteWindow::selectedRow() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.first());
}

void SiteWindow::showSelectedSite() {
    for (QWidget* w : m_recorderWidgets) {
        m_recorders->removeWidget(w);
        w->setParent(nullptr); // out of the window and its Tab chain at once
        w->deleteLater();
    }
    m_recorderWidgets.clear();
    m_passwords.clear();
    const int row = selectedRow();
    if (row < 0) {
        m_recordersCaption->setText(m_book.sites().empty()
                                        ? tr("No sites yet: New makes one.")
                                        : tr("Choose a site to see its recorders."));
        updateWidgets();
        return;
    }
    const Site& site = m_book.sites()[std::size_t(row)];
    m_recordersCaption->setText(tr("Recorders of %1").arg(siteWindowText(site.name)));
    auto* passwordCaption = new QLabel(tr("Password"), this);
    m_recorders->addWidget(passwordCaption, 0, 2);
    m_recorderWidgets.push_back(passwordCaption);
    passwordCaption->show();
    for (std::size_t k = 0; k < site.recorders.size(); ++k) {
        const SiteRecorder& r = site.recorders[k];
        const int at = int(k) + 1; // row 0 holds the column caption
        auto* number = new QLabel(tr("Recorder %1").arg(k + 1), this);
        auto* place = new QLabel(
            r.userId.empty() ? recorderPlace(r)
                             : tr("%1, user %2").arg(recorderPlace(r), siteWindowText(r.userId)),
            this);
        auto* password = new QLineEdit(this);
        password->setEchoMode(QLineEdit::Password);
        password->setMaxLength(kConnectTextLength); // longer than 16 is refused with a reason
        password->setToolTip(tr("up to %1 characters").arg(kSessionFieldBytes));
        m_recorders->addWidget(number, at, 0);
        m_recorders->addWidget(place, at, 1);
        m_recorders->addWidget(password, at, 2);
        m_recorderWidgets.insert(m_recorderWidgets.end(), {number, place, password});
        // Shown now, not at the layout's next pass, so that a refusal can put the caret here.
        for (QWidget* w : {static_cast<QWidget*>(number), static_cast<QWidget*>(place),
                           static_cast<QWidget*>(password)})
            w->show();
        m_passwords.push_back(password);
    }
    {
        const QSignalBlocker quiet(m_samePassword);
        m_samePassword->setChecked(sameUserEverywhere(site));
    }
    updateWidgets();
}

void SiteWindow::updateWidgets() {
    const bool idle = !resolving();
    const bool selected = selectedRow() >= 0;
    m_list->setEnabled(idle);
    m_newButton->setEnabled(idle);
    m_editButton->setEnabled(idle && selected);
    m_deleteButton->setEnabled(idle && selected);
    m_connectButton->setEnabled(idle && selected);
    m_samePassword->setEnabled(idle && m_passwords.size() > 1);
    m_samePassword->setVisible(m_passwords.size() > 1);

    const bool same = m_samePassword->isChecked() || m_passwords.size() <= 1;
    for (std::size_t k = 0; k < m_passwords.size(); ++k) {
        QLineEdit* p = m_passwords[k];
        const bool shared = same && k > 0;
        p->setEnabled(idle && !shared);
        if (shared)
            p->clear();
        p->setPlaceholderText(shared ? tr("same as recorder 1") : QString());
        p->setAccessibleName(
            same && m_passwords.size() > 1
                ? (k == 0 ? tr("Password for all recorders")
                          : tr("Password of recorder %1 (same as recorder 1)").arg(k + 1))
                : tr("Password of recorder %1").arg(k + 1));
    }

    // Tab: the list, the site buttons, the passwords, the password mode, Connect, Close.
    QWidget* previous = m_deleteButton;
    for (QWidget* w : m_passwords) {
        setTabOrder(previous, w);
        previous = w;
    }
    for (QWidget* w :
         {static_cast<QWidget*>(m_samePassword), static_cast<QWidget*>(m_connectButton),
          static_cast<QWidget*>(m_closeButton)}) {
        setTabOrder(previous, w);
        previous = w;
    }

    if (!idle)
        say(tr("Resolving %1 (recorder %2 of %3)...")
                .arg(siteWindowText(m_pending->recorders[m_next].typedAddress))
                .arg(m_next + 1)
                .arg(m_pending->recorders.size()),
            false);
}

void SiteWindow::say(const QString& text, bool warning) {
    QPalette messagePalette = m_message->palette();
    messagePalette.setColor(QPalette::WindowText,
                            warning ? warningColour(*this) : palette().color(QPalette::WindowText));
    m_message->setPalette(messagePalette);
    m_message->setText(text);
    m_message->show();
}

void SiteWindow::refuse(QWidget* field, const QString& reason) {
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    field->setFocus();
    say(reason, true);
}

void SiteWindow::onNew() {
    edit(Site{}, std::nullopt);
}

void SiteWindow::onEdit() {
    const int row = selectedRow();
    if (row >= 0)
        edit(m_book.sites()[std::size_t(row)], std::size_t(row));
}

void SiteWindow::edit(const Site& initial, std::optional<std::size_t> index) {
    std::vector<std::string> taken;
    for (std::size_t i = 0; i < m_book.sites().size(); ++i) {
        if (!index || i != *index)
            taken.push_back(m_book.sites()[i].name);
    }
    SiteEditor editor(initial, std::move(taken), m_opacity, this);
    if (editor.exec() != QDialog::Accepted) {
        m_list->setFocus();
        return;
    }
    // The editor checked the site against the same names: the book takes it.
    const SiteCheck kept =
        index ? m_book.replace(*index, editor.site()) : m_book.add(editor.site());
    if (!kept.ok())
        return;
    m_message->hide();
    saveBook();
    reload(index ? int(*index) : int(m_book.sites().size()) - 1);
    m_list->setFocus();
}

void SiteWindow::onDelete() {
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString name = siteWindowText(m_book.sites()[std::size_t(row)].name);
    m_book.remove(std::size_t(row));
    m_message->hide();
    saveBook();
    reload(rowAfterDelete(row, int(m_book.sites().size())));
    m_list->setFocus();
    if (m_message->isHidden())
        say(tr("Site %1 deleted.").arg(name), false);
}

void SiteWindow::saveBook() {
    if (!m_book.save())
        say(tr("The sites could not be written to the settings store (%1); they are kept "
               "until the program ends.")
                .arg(m_store.fileName()),
            true);
}

void SiteWindow::tryConnect() {
    const int row = selectedRow();
    if (row < 0 || resolving()) {
        refuse(m_list, tr("Choose the site to connect."));
        return;
    }
    const Site& site = m_book.sites()[std::size_t(row)];
    std::vector<std::string> others;
    for (std::size_t i = 0; i < m_book.sites().size(); ++i) {
        if (i != std::size_t(row))
            others.push_back(m_book.sites()[i].name);
    }
    // Only a site changed outside the program can break the rules here.
    if (!checkSite(site, others).ok()) {
        refuse(m_editButton, tr("Site %1 has a recorder the program cannot connect to; Edit "
                                "says which and why.")
                                 .arg(siteWindowText(site.name)));
        return;
    }
    const bool same = m_samePassword->isChecked() || m_passwords.size() <= 1;
    SiteRequest request;
    request.name = site.name;
    for (std::size_t k = 0; k < site.recorders.size() && k < m_passwords.size(); ++k) {
        QLineEdit* field = same ? m_passwords.front() : m_passwords[k];
        const std::string password = field->text().toUtf8().toStdString();
        if (!fitsSessionField(password)) {
            refuse(field,
                   same ? tr("The password is limited to %1 characters.").arg(kSessionFieldBytes)
                        : tr("The password of recorder %1 is limited to %2 characters.")
                              .arg(k + 1)
                              .arg(kSessionFieldBytes));
            return;
        }
        const SiteRecorder& r = site.recorders[k];
        ConnectRequest one;
        one.typedAddress = r.address;
        one.port = static_cast<std::uint16_t>(r.port);
        one.userId = r.userId;
        one.password = password;
        one.siteText = site.name;
        request.recorders.push_back(std::move(one));
    }
    m_message->hide();
    m_pending = std::move(request);
    m_next = 0;
    resolveNext();
}

void SiteWindow::resolveNext() {
    if (!m_pending)
        return;
    // Dotted text is rewritten at once; only host names wait for the lookup thread.
    while (m_next < m_pending->recorders.size() &&
           !isHostName(m_pending->recorders[m_next].typedAddress)) {
        ConnectRequest& r = m_pending->recorders[m_next];
        r.address = resolveRecorderAddress(r.typedAddress);
        ++m_next;
    }
    if (m_next < m_pending->recorders.size()) {
        m_lookup->start(m_pending->recorders[m_next].typedAddress);
        updateWidgets();
        m_closeButton->setFocus();
        return;
    }
    SiteRequest request = std::move(*m_pending);
    m_pending.reset();
    updateWidgets();
    m_book.setLastSite(request.name);
    m_store.sync();
    m_request = std::move(request);
    emit connectRequested(*m_request);
    accept();
}

void SiteWindow::takeResolved(const std::string& address) {
    if (!m_pending || m_next >= m_pending->recorders.size())
        return;
    m_pending->recorders[m_next].address = address;
    ++m_next;
    resolveNext();
}

void SiteWindow::reject() {
    if (m_pending) {
        m_lookup->abandon();
        m_pending.reset();
        updateWidgets();
        m_message->hide();
    }
    QDialog::reject();
}

} // namespace kalder
