#pragma once

#include <QPushButton>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace kalder {

// Small pieces the PTZ and time pages share.

inline QStringList toStringList(const std::vector<std::string>& entries) {
    QStringList list;
    for (const std::string& e : entries)
        list << QString::fromLatin1(e.c_str());
    return list;
}

// A button that opens a list chooser and shows the chosen value. Its accessible name is
// "<name>: <value>" so that a screen reader says both; setValueText keeps it so.
class ValueButton : public QPushButton {
public:
    ValueButton(const QString& objectName, const QString& name, QWidget* parent)
        : QPushButton(parent), m_name(name) {
        setObjectName(objectName);
        setAutoDefault(false);
        setAccessibleName(name);
    }
    void setValueText(const QString& text) {
        setText(text);
        setAccessibleName(m_name + QStringLiteral(": ") + text);
    }
    void setValueText(const std::string& text) { setValueText(QString::fromLatin1(text.c_str())); }

private:
    QString m_name;
};

} // namespace kalder
