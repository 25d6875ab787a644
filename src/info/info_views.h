#pragma once

#include "info/info_list_view.h"
#include "session/info_rows.h"

#include <QObject>
#include <QPointer>

namespace kalder {

class RecorderSession;

// The system and status information views of one recorder: at most one of each, and opening
// either closes the other. The status view asks the recorder (STATUS_INFO_REQ) only when it
// does not exist yet, and is made and filled when the reply is complete; the system view is
// filled once from what the session knows.
//
// GUI thread. The owner routes StatusInfoReady to statusReplyReady and tells of a new session.
class InfoViews : public QObject {
public:
    // `parent` is the window the views belong to while they have no host.
    explicit InfoViews(QWidget* parent);
    ~InfoViews() override;

    void setSession(RecorderSession* session);
    // From now on the views are panels filling `host` (the search window's panel place) and go
    // with it. Once the host has gone, a status reply is dropped and nothing is opened until a
    // new host is set.
    void setHost(QWidget* host);

    void openSystemInfo();
    void openStatusInfo();
    // StatusInfoReady, wParam as InfoExchange posts it.
    void statusReplyReady(int outcome);
    void closeAll();

    InfoListView* systemView() const { return m_system; }
    InfoListView* statusView() const { return m_status; }

    // The system view's rows: the recorder's, with an empty site name said as "(not set)".
    static std::vector<InfoRow> systemViewRows(const SystemFacts& facts);
    // A firmware row's tip: its build time as a date ("Built 2024-06-01 00:00 UTC").
    static QString buildTimeToolTip(std::uint32_t buildTime);

private:
    InfoListView* makeView(int titleId, std::vector<int> widths);

    QWidget* const m_parent;
    QPointer<QWidget> m_host;
    bool m_hosted = false;
    RecorderSession* m_session = nullptr;
    QPointer<InfoListView> m_system;
    QPointer<InfoListView> m_status;
};

} // namespace kalder
