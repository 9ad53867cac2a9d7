#pragma once
#include "update/HttpHelpers.h"
#include "update/LoginComponent.h"
#include "update/WorkerThread.h"

#include <QDateTime>
#include <QStringList>
#include <functional>
#include <memory>

class QIODevice;

namespace orv {

enum THttpAccessType { atPreconfig, atDirect, atUseProxy };

struct THttpProxy {
    // atPreconfig: the system's settings (on this platform the http_proxy,
    // https_proxy and no_proxy environment variables); atDirect: no proxy;
    // atUseProxy: ProxyServer:ProxyPort, except for the hosts of ProxyBypass.
    THttpAccessType AccessType = atPreconfig;
    int ProxyPort = 8080;
    QString ProxyServer;
    QString ProxyBypass = QStringLiteral("127.0.0.1;");
};

// Both 0: no range is requested.
struct THttpRange {
    qint64 StartRange = 0;
    qint64 EndRange = 0;
};

class THttpTransfer;

using THttpHeaderInfoEvent = std::function<void(
    THttpTransfer& sender, const QString& rawHeaders, const QString& contentType,
    const QString& contentLanguage, const QString& contentEncoding, qint64 contentLength,
    const QDateTime& date, const QDateTime& lastModified, const QDateTime& expires,
    bool& continueTransfer)>;
using THttpProgressEvent = std::function<void(
    THttpTransfer& sender, const QString& contentType, qint64 contentLength,
    qint64 bytesTransferred, int elapsedTime, int estimatedTimeLeft, quint8 percentsDone,
    float transferRate, QIODevice* destination)>;
// data: the received body in memory, positioned at its start; nullptr when
// the body went to a file (FileName).
using THttpDoneEvent = std::function<void(THttpTransfer& sender, const QString& contentType,
                                          QIODevice* data, qint64 bytesTransferred)>;
using THttpConnectionLostEvent = std::function<void(
    THttpTransfer& sender, const QString& contentType, qint64 contentLength,
    qint64 bytesTransferred, QIODevice* data)>;
using THttpErrorEvent = std::function<void(THttpTransfer& sender, int statusCode, QIODevice* data)>;
using THttpPasswordRequestEvent = std::function<void(THttpTransfer& sender, const QString& realm,
                                                     bool& tryAgain)>;
using THttpProxyAuthenticationEvent = std::function<void(
    THttpTransfer& sender, QString& proxyUsername, QString& proxyPassword, bool& tryAgain)>;
using THttpNotifyEvent = std::function<void(THttpTransfer& sender)>;

namespace detail {
struct TransferJob;
}

// Fetches one address over HTTP or HTTPS (libcurl) on a worker thread of its
// own. Every event runs on the user-interface thread while the worker waits.
// Failures are reported through the events only, never raised to the caller.
//
// Outcome of a transfer (after the worker ended, in this order):
//   local failure (file not created/written, error in the worker): OnTransferFailed
//   status 200 (206 for a range) with every announced byte:        OnDone
//   status 200 with a different byte count or a broken read:      OnTransferFailed, OnConnectionLost
//   no status at all:                                             OnTransferFailed, OnHostUnreachable
//   any other status:                                             OnTransferFailed, OnHTTPError
//   OnHeaderInfo cleared ContinueTransfer:                        OnTransferAborted
class THttpTransfer : public TLoginComponent {
public:
    explicit THttpTransfer(QObject* parent = nullptr);
    ~THttpTransfer() override; // aborts a running transfer first

    // Settings, read when a transfer starts.
    QString URL;
    QString FileName; // empty: the body goes to memory
    bool HiddenFile = false;
    QString AcceptTypes = QStringLiteral("text/html, */*");
    QString Agent = kDefaultAgent;
    QString PostData;
    QString Referer;
    bool UseCache = true;
    bool AcceptCookies = true;
    bool OfflineMode = false;
    THttpRange Range;
    int TransferBufferSize = 4096;
    int RequestMethod = 0; // 0 automatic, 1 GET, 2 POST
    QStringList ExtraHeaders;
    THttpProxy Proxy;

    static const QString kDefaultAgent;

    // Events.
    THttpHeaderInfoEvent OnHeaderInfo;
    THttpProgressEvent OnTransferProgress;
    THttpDoneEvent OnDone;
    THttpNotifyEvent OnTransferAborted;
    THttpConnectionLostEvent OnConnectionLost;
    THttpErrorEvent OnHTTPError;
    THttpNotifyEvent OnHostUnreachable;
    THttpPasswordRequestEvent OnPasswordRequest;
    THttpProxyAuthenticationEvent OnProxyAuthenticationRequest;
    THttpNotifyEvent OnTransferFailed;
    THttpNotifyEvent OnTransferStopped;

    // Starts a transfer; false (and nothing happens) while one is busy or its
    // outcome is still being delivered by an earlier worker.
    bool StartTransfer();
    // Stops a running transfer at once, without waiting for the network; no
    // event of it arrives afterwards except OnTransferStopped, fired here.
    void AbortTransfer();
    bool TransferBusy() const;

    QString RemoteFileName() const { return RemoteFileNameOf(URL); }
    QString RemoteHostName() const { return CrackURL(URL).HostName; }

    TThreadPriority ThreadPriority() const { return m_worker.ThreadPriority(); }
    void SetThreadPriority(TThreadPriority priority) { m_worker.SetThreadPriority(priority); }

    // State of the latest transfer, as its events see it.
    int StatusCode() const { return m_state.StatusCode; }
    bool Succeeded() const { return m_state.Succeeded; }
    const QString& ContentType() const { return m_state.ContentType; }
    qint64 ContentLength() const { return m_state.ContentLength; }
    const QString& RawHeaders() const { return m_state.RawHeaders; }
    const QString& ContentLanguage() const { return m_state.ContentLanguage; }
    const QString& ContentEncoding() const { return m_state.ContentEncoding; }
    const QDateTime& Date() const { return m_state.Date; }
    const QDateTime& LastModified() const { return m_state.LastModified; }
    const QDateTime& Expires() const { return m_state.Expires; }
    qint64 BytesTransferred() const { return m_state.BytesTransferred; }
    quint8 PercentsDone() const { return m_state.Stats.PercentsDone; }
    int ElapsedTime() const { return m_state.Stats.ElapsedTime; }
    int EstimatedTimeLeft() const { return m_state.Stats.EstimatedTimeLeft; }
    float TransferRate() const { return m_state.Stats.TransferRate; }
    // Kept from one request to the next, set by OnProxyAuthenticationRequest.
    const QString& ProxyUsername() const { return m_proxyUsername; }
    const QString& ProxyPassword() const { return m_proxyPassword; }

    // What the events of a transfer see, copied from its worker before each event.
    struct PublishedState {
        int StatusCode = -1;
        bool Succeeded = false;
        QString ContentType;
        qint64 ContentLength = 0;
        QString RawHeaders;
        QString ContentLanguage;
        QString ContentEncoding;
        QDateTime Date;
        QDateTime LastModified;
        QDateTime Expires;
        qint64 BytesTransferred = 0;
        TransferStatistics Stats;
    };

private:
    friend struct detail::TransferJob;
    void FinishTransfer(const std::shared_ptr<detail::TransferJob>& job);
    void publish(const detail::TransferJob& job);

    TWorkerThread m_worker;
    std::shared_ptr<detail::TransferJob> m_job;
    PublishedState m_state;
    QString m_proxyUsername;
    QString m_proxyPassword;
};

} // namespace orv
