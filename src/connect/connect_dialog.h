#pragma once

#include "connect/connect_request.h"
#include "connect/site_request.h"
#include "net/name_lookup.h"

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;

namespace kalder {

class AddressLookup;
struct ConnectEntry;

// The connect dialog: recorder address, port, user id, password and site text. It remembers the
// last address and port under IPSetup/ServerIP of the settings store and each connect in the
// history file, and turns the typed address into the dotted IPv4 address the session needs.
// GUI thread only. After exec() returns Accepted, request() holds what the session needs.
//
// A host name is resolved on a lookup thread: while it resolves, the dialog says so, its inputs
// and OK are disabled, and Cancel abandons the lookup. Dotted text needs no lookup.
class ConnectDialog : public QDialog {
    Q_OBJECT
public:
    // Seconds since 1970, the time stamped on history entries.
    using Clock = std::function<std::uint32_t()>;

    // `store` must outlive the dialog. `historyFile` is <data folder>/Log/ConnectInfo100.log;
    // its folder is created when a connect is recorded. `opacity` is the alpha (0-255) of the
    // connect-dialog kind of window.
    // `resolver` runs on the lookup thread for host names; resolveRecorderAddress when empty.
    ConnectDialog(QSettings& store, std::filesystem::path historyFile, std::uint8_t opacity,
                  QWidget* parent = nullptr, Clock clock = {}, NameLookup::Resolver resolver = {});
    ~ConnectDialog() override;

    const ConnectRequest& request() const { return m_request; }
    bool defaultPortMode() const { return m_defaultPortMode; }
    // OK was pressed on a host name whose answer has not come yet.
    bool resolving() const { return m_pending.has_value(); }

    // Cancel, Escape and closing the window; abandons a lookup under way.
    void reject() override;

    // Takes address, port and site text of an entry picked in the history window. In
    // default-port mode the port is shown but OK still uses 2000.
    void applyHistoryEntry(const ConnectEntry& entry);

    // The history file of a data folder: <dataFolder>/Log/ConnectInfo100.log.
    static std::filesystem::path historyFileIn(const QString& dataFolder);
    // Settings keys of the last address and port.
    static QString addressKey();
    static QString portKey();

    // The dialog's result when the operator connected a site from the site window ("Sites..."):
    // siteRequest() holds its recorders; request() and the history are left as they were.
    static constexpr int kSiteChosen = 2;
    const std::optional<SiteRequest>& siteRequest() const { return m_siteRequest; }
    // Shows "Sites..." (hidden by default): only an owner that connects a site's recorders
    // offers it, so that choosing a site never ends in nothing.
    void setSitesOffered(bool offered);

signals:
    // Emitted just before the dialog closes with kSiteChosen.
    void siteChosen(const SiteRequest& request);

private:
    void buildWidgets();
    void loadLastRecorder();
    void setDefaultPortMode();
    void setTypedPortMode();
    void openHistory();
    void openSites();
    void tryAccept();
    // Stores and records what OK took, hands over `address` and closes with OK.
    void finishAccept(const std::string& address);
    // Derives every control's enabled state and the status line while resolving.
    void updateWidgets();
    // Refuses OK with a visible reason and puts the caret into `field`.
    void refuse(QLineEdit* field, const QString& reason, bool clearField);

    QSettings& m_store;
    std::filesystem::path m_historyFile;
    std::uint8_t m_opacity;
    Clock m_clock;
    bool m_defaultPortMode = true;
    ConnectRequest m_request;
    // What OK took while its host name resolves (address still empty); set only then.
    std::optional<ConnectRequest> m_pending;
    AddressLookup* m_lookup = nullptr; // child; may outlive the dialog (see the destructor)

    QLineEdit* m_address = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_userId = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_siteText = nullptr;
    QPushButton* m_defaultButton = nullptr;
    QPushButton* m_modifyButton = nullptr;
    QPushButton* m_historyButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_message = nullptr; // why OK was refused; hidden while there is nothing to say
    QPushButton* m_sitesButton = nullptr;
    std::optional<SiteRequest> m_siteRequest;
};

} // namespace kalder
