#pragma once

#include "setup/model/ntp_setup_page.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kalder {

class Ipv4AddressEdit;
class SetupWindow;
class TimeServerAsk;
class ValueButton;

// NTP Setup, two views. Time Zone: the zone list (by record version) and a preview of the
// recorder's clock in that zone with its daylight-saving rule, advancing once a second; choosing
// a zone asks a time server (RFC 868, on a thread of its own, which posts when it has answered)
// for the base of the preview, the local clock standing in while it answers or when it cannot. The
// servers asked are defaultTimeServers(): the KALDER_TIME_SERVERS environment variable names
// others. Time Server: the enable list, the server choice (first server shown read-only, a named
// server typed in an edit box, a server by IPv4 address); the server rows hide while NTP is off.
// GUI thread only.
class NtpSetupPageWidget : public QWidget {
public:
    enum class View { TimeZone, TimeServer };
    enum class Base { LocalClock, TimeServer };

    explicit NtpSetupPageWidget(SetupWindow& window);
    ~NtpSetupPageWidget() override;

    void showView(View view);
    View view() const { return m_view; }
    void chooseZoneEntry(int entry);
    void chooseEnabled(int entry);
    void chooseServer(int entry);

    ValueButton* zoneButton() const { return m_zone; }
    QLabel* preview() const { return m_preview; }
    Base base() const { return m_baseKind; }
    bool asking() const;
    QLineEdit* serverNameEdit() const { return m_name; }
    Ipv4AddressEdit* addressEdit() const { return m_address; }
    QLabel* addressStatus() const { return m_addressStatus; }

private:
    void askTimeServer();
    void takeAnswer(std::uint32_t answer);
    void showPreview();
    void refresh();

    SetupWindow& m_window;
    const std::vector<DstRule> m_rules;
    View m_view = View::TimeZone;
    TimeServerAsk* m_ask = nullptr; // child; may outlive the page (see the destructor)
    std::uint32_t m_base = 0;       // UNIX time when m_since started
    QElapsedTimer m_since;
    Base m_baseKind = Base::LocalClock;
    std::vector<QWidget*> m_zoneView;
    std::vector<QWidget*> m_serverView;
    std::vector<QWidget*> m_serverRows;
    QPushButton* m_viewButtons[2] = {};
    ValueButton* m_zone = nullptr;
    QLabel* m_preview = nullptr;
    QLabel* m_source = nullptr;
    ValueButton* m_enable = nullptr;
    ValueButton* m_choice = nullptr;
    QLineEdit* m_default = nullptr;
    QLineEdit* m_name = nullptr;
    QWidget* m_addressRow = nullptr;
    Ipv4AddressEdit* m_address = nullptr;
    QLabel* m_addressStatus = nullptr;
};

} // namespace kalder
