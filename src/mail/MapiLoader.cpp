#include "mail/MapiLoader.h"

#include <QProcess>
#include <QStandardPaths>
#include <mutex>
#include <optional>

namespace orv::mapi {
namespace {

struct LoaderState {
    bool attempted = false;
    std::optional<SendMailFunction> send; // none: no provider
    std::optional<SendMailFunction> testProvider;
    bool testOverride = false;
};

LoaderState& state()
{
    static LoaderState s;
    return s;
}

void load()
{
    LoaderState& s = state();
    s.attempted = true;
    if (s.testOverride) {
        if (s.testProvider && *s.testProvider)
            s.send = *s.testProvider;
        return;
    }
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (tool.isEmpty())
        return;
    s.send = [tool](LHANDLE, std::uintptr_t, const MapiMessage& m, ULONG, ULONG) { return sendWithXdgEmail(tool, m); };
}

QString local(const char* s) { return s ? QString::fromLocal8Bit(s) : QString(); }

QString plainAddress(const MapiRecipDesc& r)
{
    QString a = local(r.lpszAddress);
    if (a.startsWith(QLatin1String("SMTP:"), Qt::CaseInsensitive))
        a = a.mid(5);
    return a.isEmpty() ? local(r.lpszName) : a;
}

} // namespace

ULONG sendMail(LHANDLE session, std::uintptr_t uiParam, const MapiMessage& message, ULONG flags, ULONG reserved)
{
    if (!state().attempted)
        load();
    if (!state().send)
        return MAPI_USER_ABORT;
    return (*state().send)(session, uiParam, message, flags, reserved);
}

bool loadAttempted() { return state().attempted; }
bool providerAvailable() { return state().send.has_value(); }

void resetLoaderForTests()
{
    state() = LoaderState{};
}

void setProviderForTests(SendMailFunction send)
{
    state() = LoaderState{};
    state().testOverride = true;
    state().testProvider = std::move(send);
}

ULONG sendWithXdgEmail(const QString& program, const MapiMessage& m)
{
    QStringList args{QStringLiteral("--utf8")};
    QStringList to;
    for (ULONG i = 0; i < m.nRecipCount; ++i) {
        const MapiRecipDesc& r = m.lpRecips[i];
        const QString address = plainAddress(r);
        if (r.ulRecipClass == MAPI_CC)
            args << QStringLiteral("--cc") << address;
        else if (r.ulRecipClass == MAPI_BCC)
            args << QStringLiteral("--bcc") << address;
        else
            to << address;
    }
    if (m.lpszSubject && *m.lpszSubject)
        args << QStringLiteral("--subject") << local(m.lpszSubject);
    if (m.lpszNoteText && *m.lpszNoteText)
        args << QStringLiteral("--body") << local(m.lpszNoteText);
    for (ULONG i = 0; i < m.nFileCount; ++i)
        args << QStringLiteral("--attach") << local(m.lpFiles[i].lpszPathName);
    args << to;

    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return MAPI_USER_ABORT;
    // The compose window is the mail client's; xdg-email returns once the
    // client has it, so this wait is short.
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit)
        return MAPI_E_FAILURE;
    switch (p.exitCode()) {
    case 0: return SUCCESS_SUCCESS;
    case 2: return MAPI_E_ATTACHMENT_NOT_FOUND; // a file named on the command line is missing
    case 3: return MAPI_USER_ABORT;             // no mail client to hand the message to
    default: return MAPI_E_FAILURE;
    }
}

} // namespace orv::mapi
