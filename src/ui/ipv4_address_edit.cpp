#include "ui/ipv4_address_edit.h"

#include <QLabel>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace kalder {

namespace {

const char* const kExample = "192.168.0.10";

QString normalTip() {
    return Ipv4AddressEdit::tr("Four numbers from 0 to 255 separated by dots, for example %1")
        .arg(QLatin1String(kExample));
}

} // namespace

Ipv4Reading readIpv4Text(std::string_view text) {
    Ipv4Reading r;
    std::array<unsigned, 4> parts{};
    std::size_t part = 0;
    std::size_t digits = 0; // digits of the current part
    for (char ch : text) {
        if (ch == '.') {
            if (digits == 0) {
                r.state = Ipv4Reading::State::Wrong;
                r.problem = Ipv4AddressEdit::tr("Each part of the address needs a number "
                                                "before its dot.");
                return r;
            }
            if (++part == parts.size()) {
                r.state = Ipv4Reading::State::Wrong;
                r.problem = Ipv4AddressEdit::tr("An address has four parts, not more.");
                return r;
            }
            digits = 0;
            continue;
        }
        if (ch < '0' || ch > '9') {
            r.state = Ipv4Reading::State::Wrong;
            r.problem = Ipv4AddressEdit::tr("An address holds only digits and dots.");
            return r;
        }
        // Capped so that a long run of digits cannot overflow; anything above 255 is wrong.
        parts[part] = std::min(parts[part] * 10 + unsigned(ch - '0'), 100000u);
        ++digits;
        if (parts[part] > 255) {
            r.state = Ipv4Reading::State::Wrong;
            r.problem = Ipv4AddressEdit::tr("Each part of the address is a number from 0 to 255: "
                                            "part %1 is too large, nothing was stored.")
                            .arg(part + 1);
            return r;
        }
    }
    if (part != 3 || digits == 0) {
        r.state = Ipv4Reading::State::Partial;
        r.problem = Ipv4AddressEdit::tr("The address is not complete (four numbers separated by "
                                        "dots, for example %1): nothing was stored.")
                        .arg(QLatin1String(kExample));
        return r;
    }
    r.state = Ipv4Reading::State::Complete;
    for (std::size_t i = 0; i < 4; ++i)
        r.address[i] = static_cast<std::uint8_t>(parts[i]);
    return r;
}

QString ipv4Text(const std::array<std::uint8_t, 4>& address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address[0])
        .arg(address[1])
        .arg(address[2])
        .arg(address[3]);
}

QString dottedAddressProblem(std::string_view text) {
    if (text.empty())
        return {};
    for (char ch : text)
        if ((ch < '0' || ch > '9') && ch != '.')
            return {}; // a host name
    const Ipv4Reading r = readIpv4Text(text);
    return r.state == Ipv4Reading::State::Complete ? QString() : r.problem;
}

void markFieldProblem(QWidget& field, const QString& problem, const QString& normalTip) {
    // A red frame stands out on the plain and on the themed window alike.
    field.setStyleSheet(problem.isEmpty() ? QString()
                                          : QStringLiteral("border: 2px solid #d01010;"));
    field.setToolTip(problem.isEmpty() ? normalTip : problem);
}

Ipv4AddressEdit::Ipv4AddressEdit(const QString& accessibleName, QWidget* parent)
    : QLineEdit(parent) {
    setAccessibleName(accessibleName);
    setToolTip(normalTip());
    setPlaceholderText(QLatin1String(kExample));
    // Digits and dots only, as people type an address; values are judged by readIpv4Text, so a
    // part over 255 stays on screen with its reason instead of silently losing a digit.
    setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), this));
    setMaxLength(19);
    connect(this, &QLineEdit::textEdited, this, &Ipv4AddressEdit::typed);
    connect(this, &QLineEdit::editingFinished, this, &Ipv4AddressEdit::finished);
}

void Ipv4AddressEdit::setAddress(const std::array<std::uint8_t, 4>& address) {
    // The operator's wrong text stays until the operator changes it: the record still holds
    // the last good address, which is what a refresh would show.
    if (showsProblem() || hasFocus())
        return;
    const QString text = ipv4Text(address);
    if (this->text() != text)
        setText(text);
}

void Ipv4AddressEdit::setStatusLabel(QLabel* label) {
    m_status = label;
    if (m_status)
        m_status->setText(m_problem);
}

void Ipv4AddressEdit::typed(const QString& text) {
    const Ipv4Reading r = readIpv4Text(text.toStdString());
    switch (r.state) {
    case Ipv4Reading::State::Complete:
        showProblem({});
        emit addressEdited(r.address);
        break;
    case Ipv4Reading::State::Partial:
        showProblem({}); // still being typed: judged when the operator leaves the field
        break;
    case Ipv4Reading::State::Wrong:
        showProblem(r.problem);
        break;
    }
}

void Ipv4AddressEdit::finished() {
    const Ipv4Reading r = readIpv4Text(text().toStdString());
    if (r.state != Ipv4Reading::State::Complete)
        showProblem(r.problem);
}

void Ipv4AddressEdit::showProblem(const QString& problem) {
    m_problem = problem;
    markFieldProblem(*this, problem, normalTip());
    if (m_status)
        m_status->setText(problem);
}

} // namespace kalder
