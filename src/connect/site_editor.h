#pragma once

#include "site/site_book.h"

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kalder {

// Makes or changes one site: its name and a table of its recorders (address, port, user id),
// a row each, with Add and a Remove per row. OK keeps the site only when it meets the site
// rules; otherwise the editor says which field is wrong and why and puts the caret there.
// Passwords are not part of a site: the site window asks for them when connecting.
// GUI thread only.
class SiteEditor : public QDialog {
    Q_OBJECT
public:
    // `taken` are the names of the other sites. A new site starts with one empty recorder on
    // the default port.
    SiteEditor(const Site& initial, std::vector<std::string> taken, std::uint8_t opacity,
               QWidget* parent = nullptr);

    // The site as accepted with OK (trimmed, checked).
    const Site& site() const { return m_site; }

    // Adds an empty recorder row and puts the caret in its address (at most kMaxSiteRecorders).
    void addRecorder();

private:
    struct Row {
        QLabel* number = nullptr;
        QLineEdit* address = nullptr;
        QLineEdit* port = nullptr;
        QLineEdit* userId = nullptr;
        QPushButton* remove = nullptr;
    };

    void buildWidgets();
    void appendRow(const SiteRecorder& recorder);
    void removeRow(QPushButton* removeButton);
    // Numbers and names the rows by position, chains the Tab order and derives Add/Remove.
    void updateWidgets();
    Site typedSite() const;
    void tryAccept();
    void refuse(QWidget* field, const QString& reason);

    std::vector<std::string> m_taken;
    Site m_site;
    std::vector<Row> m_rows;

    QLineEdit* m_name = nullptr;
    QGridLayout* m_table = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_message = nullptr; // why OK was refused; hidden while there is nothing to say
};

} // namespace kalder
