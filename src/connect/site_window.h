#pragma once

#include "site/site_book.h"
#include "connect/site_request.h"
#include "net/name_lookup.h"

#include <QDialog>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSettings;

namespace kalder {

class AddressLookup;

// The sites of the address book: pick one and connect all its recorders at once, or make,
// change and delete sites (every change is written to the settings store at once). The chosen
// site's recorders are listed with a password field each; "Same password for all" (on when
// every recorder has the same user id) leaves one field for the whole site. Passwords are never
// stored.
//
// Connect checks the site and the passwords, resolves host names one after the other on a
// lookup thread (the window says which, its inputs are disabled and Close abandons it), then
// emits connectRequested and closes with Accepted; request() holds the same. A name that does not
// resolve leaves that recorder's address empty, as the single-recorder connect does: its
// connect fails on its own while the others go ahead. GUI thread only.
class SiteWindow : public QDialog {
    Q_OBJECT
public:
    // `store` must outlive the window. `resolver` runs on the lookup thread for host names;
    // resolveRecorderAddress when empty.
    SiteWindow(QSettings& store, std::uint8_t opacity, QWidget* parent = nullptr,
               NameLookup::Resolver resolver = {});
    ~SiteWindow() override;

    const std::optional<SiteRequest>& request() const { return m_request; }
    const SiteBook& book() const { return m_book; }
    // Connect was pressed and a host name's answer has not come yet.
    bool resolving() const { return m_pending.has_value(); }

    // Close, Escape and closing the window; abandons a lookup under way.
    void reject() override;

signals:
    void connectRequested(const SiteRequest& request);

private:
    void buildWidgets();
    // Fills the list from the book and selects the site at `row` (none when out of range).
    void reload(int row);
    int selectedRow() const;
    // Rebuilds the recorder rows and their password fields for the selected site.
    void showSelectedSite();
    // Derives every control's state from the selection, the password mode and a lookup.
    void updateWidgets();
    void onNew();
    void onEdit();
    void onDelete();
    // Opens the editor over `initial`; keeps the result at `index` (a new site when none).
    void edit(const Site& initial, std::optional<std::size_t> index);
    // Writes the book; says so in the window when the store cannot be written.
    void saveBook();
    void tryConnect();
    // Resolves the next recorder of the pending request, or finishes when none is left.
    void resolveNext();
    void takeResolved(const std::string& address);
    void refuse(QWidget* field, const QString& reason);
    void say(const QString& text, bool warning);

    QSettings& m_store;
    std::uint8_t m_opacity;
    SiteBook m_book;
    std::optional<SiteRequest> m_request;
    // What Connect took while its host names resolve; set only then. m_next is the recorder
    // whose address is resolved next.
    std::optional<SiteRequest> m_pending;
    std::size_t m_next = 0;
    AddressLookup* m_lookup = nullptr; // child; may outlive the window (see the destructor)

    QListWidget* m_list = nullptr;
    QLabel* m_recordersCaption = nullptr;
    QGridLayout* m_recorders = nullptr;
    std::vector<QWidget*> m_recorderWidgets; // rebuilt with the selection
    std::vector<QLineEdit*> m_passwords;     // one per recorder of the selected site
    QCheckBox* m_samePassword = nullptr;
    QPushButton* m_newButton = nullptr;
    QPushButton* m_editButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_connectButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QLabel* m_message = nullptr;
};

} // namespace kalder
