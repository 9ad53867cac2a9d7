#pragma once
#include <QString>
#include <stdexcept>

namespace orv {

// The base of the program's own errors: a text for the user (Italian, or the
// component's own language) and an optional numeric code.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message, int code = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code) {}
    const QString& message() const { return m_message; }
    int code() const { return m_code; }

private:
    QString m_message;
    int m_code;
};

// The text of any error, as the standard error box shows it.
QString errorText(const std::exception& e);

} // namespace orv
