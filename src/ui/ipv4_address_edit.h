#pragma once

#include <QLineEdit>
#include <QString>

#include <array>
#include <cstdint>
#include <string_view>

class QLabel;

namespace kalder {

// An IPv4 address as an operator types it: digits and dots, a dot ending one part and starting
// the next. Read without widgets, so the rule is tested on its own.
struct Ipv4Reading {
    enum class State : std::uint8_t {
        Complete, // four parts of 0 .. 255: `address` holds them
        Partial,  // nothing wrong yet, but not four parts (still being typed)
        Wrong,    // a part over 255, an empty part, a fifth part or another character
    };
    State state = State::Partial;
    std::array<std::uint8_t, 4> address{};
    QString problem; // why it is wrong or incomplete; empty when complete
};
Ipv4Reading readIpv4Text(std::string_view text);
// "a.b.c.d"
QString ipv4Text(const std::array<std::uint8_t, 4>& address);
// The reason a typed address cannot be used, or empty: for fields that take a host name as well,
// text of digits and dots alone must be a whole IPv4 address.
QString dottedAddressProblem(std::string_view text);

// Shows or clears the mark of a field whose text is refused: a red frame and `problem` as its
// tooltip (the field's `normalTip` again once it is fine).
void markFieldProblem(QWidget& field, const QString& problem, const QString& normalTip);

// The address-entry field every IPv4 address of the client uses. Only a complete address is
// reported (addressEdited), so nothing half-typed or wrong is ever stored: a part over 255 is
// kept on screen, framed in red, with the reason as tooltip and in the status label when the
// owner gave one. An incomplete address is marked when the operator leaves the field. GUI thread
// only.
class Ipv4AddressEdit : public QLineEdit {
    Q_OBJECT
public:
    Ipv4AddressEdit(const QString& accessibleName, QWidget* parent);

    // Shows `address` (what the record holds) without reporting it.
    void setAddress(const std::array<std::uint8_t, 4>& address);
    // Where the reason a typed address is refused is shown besides the tooltip; may be null.
    void setStatusLabel(QLabel* label);
    QString problem() const { return m_problem; }
    bool showsProblem() const { return !m_problem.isEmpty(); }

signals:
    void addressEdited(const std::array<std::uint8_t, 4>& address);

private:
    void typed(const QString& text);
    void finished();
    void showProblem(const QString& problem);

    QLabel* m_status = nullptr;
    QString m_problem;
};

} // namespace kalder
