#include "mail/TMapiControl.h"

#include "mail/MapiLoader.h"

#include <vector>

using namespace orv::mapi;

namespace {
std::uintptr_t g_mainWindow = 0;

// The file-name part: the text after the last backslash, slash or colon.
QString fileNamePart(const QString& path)
{
    qsizetype cut = -1;
    for (const QChar sep : {QLatin1Char('\\'), QLatin1Char('/'), QLatin1Char(':')})
        cut = std::max(cut, path.lastIndexOf(sep));
    return path.mid(cut + 1);
}
} // namespace

TMapiControl::TMapiControl(QObject* owner) : QObject(owner) {}

void TMapiControl::setMainWindowHandle(std::uintptr_t handle) { g_mainWindow = handle; }

void TMapiControl::Send()
{
    // Every string handed over lives in these buffers until the call returns;
    // RAII frees them also when an error interrupts the send.
    std::vector<QByteArray> strings;
    strings.reserve(4 + 2 * (m_recipients.size() + m_copyTo.size() + m_blindCopyTo.size())
                    + 2 * m_attachedFiles.size());
    auto keep = [&strings](const QString& s) {
        strings.push_back(s.toLocal8Bit());
        return strings.back().constData();
    };

    MapiMessage message;
    message.lpszSubject = keep(Subject);
    message.lpszNoteText = keep(Body);

    MapiRecipDesc originator;
    originator.ulRecipClass = MAPI_ORIG;
    originator.lpszName = keep(FromName);
    originator.lpszAddress = keep(FromAdress);
    message.lpOriginator = &originator;

    std::vector<MapiRecipDesc> recips;
    recips.reserve(m_recipients.size() + m_copyTo.size() + m_blindCopyTo.size());
    auto addRecipients = [&](const QStringList& list, ULONG recipClass) {
        for (const QString& entry : list) {
            MapiRecipDesc r;
            r.ulRecipClass = recipClass;
            r.lpszName = keep(entry);
            r.lpszAddress = keep(QStringLiteral("SMTP:") + entry);
            recips.push_back(r);
        }
    };
    addRecipients(m_recipients, MAPI_TO);
    addRecipients(m_copyTo, MAPI_CC);
    addRecipients(m_blindCopyTo, MAPI_BCC);
    message.nRecipCount = ULONG(recips.size());
    message.lpRecips = recips.empty() ? nullptr : recips.data();

    std::vector<MapiFileDesc> files;
    if (!m_attachedFiles.isEmpty()) {
        m_displayFileName.clear();
        for (const QString& path : m_attachedFiles) {
            m_displayFileName << fileNamePart(path);
            MapiFileDesc f;
            f.nPosition = 0xFFFFFFFFu;
            f.lpszPathName = keep(path);
            f.lpszFileName = keep(m_displayFileName.last());
            files.push_back(f);
        }
        message.nFileCount = ULONG(files.size());
        message.lpFiles = files.data();
    }

    const ULONG flags = ShowDialog ? (MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_DIALOG) : 0;
    const ULONG result = sendMail(0, g_mainWindow, message, flags, 0);
    if (result == SUCCESS_SUCCESS) {
        if (OnSuccess)
            OnSuccess(this);
    } else if (result == MAPI_USER_ABORT) {
        if (OnUserAbort)
            OnUserAbort(this);
    } else if (OnMapiError) {
        OnMapiError(this, qint32(result));
    }
}
