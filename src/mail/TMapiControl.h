#pragma once
#include "mail/Mapi.h"

#include <QObject>
#include <QStringList>
#include <functional>

// A non-visual component that composes one e-mail message from its
// properties and hands it to the mail client. The outcome arrives through
// the three events; the component shows no message of its own.
class TMapiControl : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TMapiErrEvent = std::function<void(QObject* sender, qint32 errCode)>;

    explicit TMapiControl(QObject* owner = nullptr);

    QString Subject;
    QString Body;
    QString FromName;
    QString FromAdress;
    bool ShowDialog = false;
    // Recorded but not consulted by Send: the parent is always the main window.
    bool UseAppHandle = true;

    const QStringList& Recipients() const { return m_recipients; }
    const QStringList& CopyTo() const { return m_copyTo; }
    const QStringList& BlindCopyTo() const { return m_blindCopyTo; }
    const QStringList& AttachedFiles() const { return m_attachedFiles; }
    const QStringList& DisplayFileName() const { return m_displayFileName; }
    void setRecipients(const QStringList& l) { m_recipients = l; }
    void setCopyTo(const QStringList& l) { m_copyTo = l; }
    void setBlindCopyTo(const QStringList& l) { m_blindCopyTo = l; }
    void setAttachedFiles(const QStringList& l) { m_attachedFiles = l; }
    QStringList& recipientsList() { return m_recipients; }

    TNotifyEvent OnUserAbort;
    TMapiErrEvent OnMapiError;
    TNotifyEvent OnSuccess;

    // Sends the message once; returns when the mail client's call returns.
    void Send();

    // The parent window handed to the mail client (the main window's id).
    static void setMainWindowHandle(std::uintptr_t handle);

private:
    QStringList m_recipients;
    QStringList m_copyTo;
    QStringList m_blindCopyTo;
    QStringList m_attachedFiles;
    QStringList m_displayFileName;
};
