#pragma once
#include <QObject>
#include <QString>

namespace orv {

// A component that logs in to a web server: the user name and password,
// each cut to 255 characters. The setters are virtual so that a derived
// component passes the values on (the update component hands them to its
// HTTP object).
class TLoginComponent : public QObject {
public:
    static constexpr int kMaxLoginLength = 255;

    explicit TLoginComponent(QObject* parent = nullptr) : QObject(parent) {}

    const QString& HTTPUsername() const { return m_username; }
    const QString& HTTPPassword() const { return m_password; }
    virtual void SetHTTPUsername(const QString& value) { m_username = value.left(kMaxLoginLength); }
    virtual void SetHTTPPassword(const QString& value) { m_password = value.left(kMaxLoginLength); }

private:
    QString m_username;
    QString m_password;
};

} // namespace orv
