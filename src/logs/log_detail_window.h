#pragma once

#include "wire/log_listing.h"

#include <QWidget>

class QPushButton;

namespace kalder {

class ReportList;

// The details of one log entry: its list row, an empty row, then the rows of its sub-kind. The
// Area button shows only for a camera-recording entry whose motion area changed; Back returns
// to the list the details came from.
class LogDetailWindow : public QWidget {
    Q_OBJECT
public:
    LogDetailWindow(const LogRecord& record, const LogNaming& naming, QWidget* parent = nullptr);

    ReportList* reportList() const { return m_report; }
    QPushButton* areaButton() const { return m_area; }
    QPushButton* backButton() const { return m_back; }

signals:
    void areaRequested();
    void backRequested();

private:
    ReportList* m_report = nullptr;
    QPushButton* m_area = nullptr;
    QPushButton* m_back = nullptr;
};

} // namespace kalder
