#include "update/HttpTransfer.h"

#include "platform/Clock.h"
#include "platform/FileAttributes.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <curl/curl.h>
#include <mutex>

namespace orv {

const QString THttpTransfer::kDefaultAgent =
    QStringLiteral("THttpTransfer/3.0 (+http://www.orvanta.it)");

namespace {

// The memory destination reserves the announced length, but never trusts a
// server's figure beyond this; larger bodies grow as they arrive.
constexpr qint64 kMaxReserve = 64 * 1024 * 1024;
constexpr qsizetype kMaxHeaderBytes = 1024 * 1024;

// One process-wide cookie jar, like the platform library's session cookies.
std::mutex g_shareLocks[CURL_LOCK_DATA_LAST];

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void*) { g_shareLocks[data].lock(); }
void unlockShare(CURL*, curl_lock_data data, void*) { g_shareLocks[data].unlock(); }

CURLSH* cookieShare()
{
    static CURLSH* share = [] {
        CURLSH* s = curl_share_init();
        if (s) {
            curl_share_setopt(s, CURLSHOPT_LOCKFUNC, lockShare);
            curl_share_setopt(s, CURLSHOPT_UNLOCKFUNC, unlockShare);
            curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        }
        return s;
    }();
    return share;
}

void initCurl()
{
    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        cookieShare();
    });
}

// The address as curl gets it: a scheme in front when missing, the user
// name and password taken out (they are passed as options), spaces escaped.
QByteArray curlAddress(const QString& url)
{
    QString full = url.contains(QLatin1String("://")) ? url : QStringLiteral("http://") + url;
    const qsizetype hostStart = full.indexOf(QLatin1String("://")) + 3;
    qsizetype authorityEnd = full.size();
    for (const QChar c : {u'/', u'?', u'#'}) {
        const qsizetype i = full.indexOf(c, hostStart);
        if (i >= 0 && i < authorityEnd)
            authorityEnd = i;
    }
    if (authorityEnd > hostStart) {
        const qsizetype at = full.lastIndexOf(u'@', authorityEnd - 1);
        if (at >= hostStart)
            full.remove(hostStart, at + 1 - hostStart);
    }
    full.replace(u' ', QLatin1String("%20"));
    return full.toUtf8();
}

// Failures of the request itself (also when following a redirect): no status.
bool requestFailed(CURLcode rc)
{
    switch (rc) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SEND_ERROR:
        return true;
    default:
        return false;
    }
}

} // namespace

namespace detail {

// One transfer: a copy of the settings and everything the worker writes.
// The worker touches only this, never the THttpTransfer, so a stopped worker
// can run to its end without reaching its owner; `owner` is dereferenced
// only inside synchronous calls, which never run after a stop.
struct TransferJob {
    enum class Decision { Undecided, Proceed, Retry, Stop, LocalFailure, NoStatus };

    // Per curl_easy_perform.
    struct Call {
        TransferJob* job = nullptr;
        CURL* curl = nullptr;
        QByteArray headers; // the latest response's header block
        Decision decision = Decision::Undecided;
        std::exception_ptr error;
    };

    THttpTransfer* owner = nullptr;

    QString url, fileName, acceptTypes, agent, postData, referer;
    bool hiddenFile = false, useCache = true, acceptCookies = true, offlineMode = false;
    THttpRange range;
    int bufferSize = 4096;
    int requestMethod = 0;
    QStringList extraHeaders;
    THttpProxy proxy;
    QString username, password, proxyUsername, proxyPassword;
    bool hasHeaderInfo = false, hasProgress = false, hasPasswordRequest = false, hasProxyAuth = false;

    THttpTransfer::PublishedState st;
    bool tryAgain = false;
    bool continueTransfer = true;
    bool lengthKnown = false;
    bool localFailure = false;
    bool readFailed = false;
    quint32 startTicks = 0;

    // The destination is shared with AbortTransfer, which may free it while
    // the stopped worker still runs.
    std::mutex destMutex;
    std::unique_ptr<QIODevice> dest;
    bool destReleased = false;

    // User-interface thread only.
    bool finishing = false;
    bool discarded = false;

    bool rangeRequested() const { return range.StartRange != 0 || range.EndRange != 0; }

    QIODevice* destination()
    {
        std::lock_guard lock(destMutex);
        return dest.get();
    }

    void releaseDestination()
    {
        std::lock_guard lock(destMutex);
        dest.reset();
        destReleased = true;
    }

    bool writeBlock(const char* data, qint64 size)
    {
        std::lock_guard lock(destMutex);
        return dest && dest->write(data, size) == size;
    }

    void run();
    Decision decide(Call& call);
    bool createDestination();
    size_t receive(Call& call, const char* data, size_t size);
    void setOptions(CURL* curl, curl_slist** headerList);
};

namespace {

size_t onHeader(char* buffer, size_t size, size_t count, void* userData)
{
    auto* call = static_cast<TransferJob::Call*>(userData);
    const size_t total = size * count;
    const QByteArray line(buffer, qsizetype(total));
    if (line.startsWith("HTTP/"))
        call->headers.clear(); // a new response: redirects, retries, 100 Continue
    if (call->headers.size() + line.size() <= kMaxHeaderBytes)
        call->headers.append(line);
    return total;
}

size_t onWrite(char* data, size_t size, size_t count, void* userData)
{
    auto* call = static_cast<TransferJob::Call*>(userData);
    return call->job->receive(*call, data, size * count);
}

int onProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return TWorkerThread::StopRequested() ? 1 : 0;
}

} // namespace

void TransferJob::setOptions(CURL* curl, curl_slist** headerList)
{
    const QByteArray address = curlAddress(url);
    const bool secure = address.startsWith("https:");
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // Like the platform library: redirects are followed, but never from a
    // secure address to a plain one.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    // The platform library's connect and receive time-outs.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    // Larger socket reads than the reporting block keep the throughput up.
    const long readSize = qBound(64L * 1024, long(bufferSize), long(CURL_MAX_READ_SIZE));
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, readSize);

    if (!agent.isEmpty())
        curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.toUtf8().constData());
    if (!referer.isEmpty())
        curl_easy_setopt(curl, CURLOPT_REFERER, referer.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    curl_easy_setopt(curl, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));

    switch (proxy.AccessType) {
    case atPreconfig:
        break; // curl reads the environment's proxy settings
    case atDirect:
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        break;
    case atUseProxy: {
        const QByteArray server = (proxy.ProxyServer + u':' + QString::number(proxy.ProxyPort)).toUtf8();
        curl_easy_setopt(curl, CURLOPT_PROXY, server.constData());
        // An empty list sends every host through the proxy, whatever the environment says.
        curl_easy_setopt(curl, CURLOPT_NOPROXY, NoProxyList(proxy.ProxyBypass).toUtf8().constData());
        break;
    }
    }

    const bool post = requestMethod == 2 || (requestMethod == 0 && !postData.isEmpty());
    const QByteArray body = postData.toUtf8();
    if (post) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
        curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, body.constData());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    QList<QByteArray> lines;
    for (const QString& header : extraHeaders) {
        for (const QString& line : header.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts))
            lines << line.toUtf8();
    }
    if (rangeRequested()) {
        QByteArray r = "RANGE: bytes=" + QByteArray::number(range.StartRange) + '-';
        if (range.EndRange != 0)
            r += QByteArray::number(range.EndRange);
        lines << r;
    }
    lines << (acceptTypes.isEmpty() ? QByteArray("Accept:") : "Accept: " + acceptTypes.toUtf8());
    if (!useCache)
        lines << "Pragma: no-cache" << "Cache-Control: no-cache";
    lines << "Expect:";
    if (post)
        lines << (body.isEmpty() ? QByteArray("Content-Type:")
                                 : QByteArray("Content-Type: application/x-www-form-urlencoded"));
    for (const QByteArray& line : lines)
        *headerList = curl_slist_append(*headerList, line.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, *headerList);

    if (acceptCookies) {
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
        if (CURLSH* share = cookieShare())
            curl_easy_setopt(curl, CURLOPT_SHARE, share);
    }

    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onWrite);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
}

void TransferJob::run()
{
    st.StatusCode = -1;
    st.ContentType.clear();
    startTicks = Clock::tickCount();
    continueTransfer = true;
    lengthKnown = false;

    const TUrlParts parts = CrackURL(url);
    if (parts.HostName.isEmpty())
        return;
    if (!parts.UserName.isEmpty())
        username = parts.UserName;
    if (!parts.Password.isEmpty())
        password = parts.Password;
    // Offline, only a local cache could answer, and there is none.
    if (offlineMode)
        return;

    CURL* curl = curl_easy_init();
    if (!curl)
        return;
    curl_slist* headerList = nullptr;
    const auto cleanup = qScopeGuard([&] {
        curl_easy_cleanup(curl);
        curl_slist_free_all(headerList);
    });
    setOptions(curl, &headerList);

    CURLcode rc = CURLE_OK;
    for (;;) {
        tryAgain = false;
        Call call;
        call.job = this;
        call.curl = curl;
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &call);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &call);
        const QByteArray user = username.toUtf8(), pass = password.toUtf8();
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.isEmpty() ? nullptr : user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, pass.isEmpty() ? nullptr : pass.constData());
        const QByteArray proxyUser = proxyUsername.toUtf8(), proxyPass = proxyPassword.toUtf8();
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxyUser.isEmpty() ? nullptr : proxyUser.constData());
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxyPass.isEmpty() ? nullptr : proxyPass.constData());

        rc = curl_easy_perform(curl);
        if (call.error)
            std::rethrow_exception(call.error);
        if (TWorkerThread::StopRequested())
            throw WorkerStopped{};

        Decision decision = call.decision;
        if (decision == Decision::Undecided) {
            long connectCode = 0;
            curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &connectCode);
            if (rc != CURLE_OK && requestFailed(rc) && connectCode < 300) {
                st.StatusCode = -1;
                return;
            }
            decision = decide(call); // a response without a body
        }
        switch (decision) {
        case Decision::Retry:
            continue;
        case Decision::Stop:
            continueTransfer = false;
            return;
        case Decision::LocalFailure:
        case Decision::NoStatus:
        case Decision::Undecided:
            return;
        case Decision::Proceed:
            break;
        }
        break;
    }

    if (rc != CURLE_OK)
        readFailed = true;
    {
        std::lock_guard lock(destMutex);
        if (auto* file = qobject_cast<QFile*>(dest.get()); file && !file->flush())
            localFailure = true;
    }
    const bool statusOk = st.StatusCode == 200 || (st.StatusCode == 206 && rangeRequested());
    // A broken read counts only when no length tells whether data is missing.
    const bool complete = lengthKnown ? st.BytesTransferred == st.ContentLength : !readFailed;
    st.Succeeded = statusOk && complete;
}

TransferJob::Decision TransferJob::decide(Call& call)
{
    long code = 0;
    curl_easy_getinfo(call.curl, CURLINFO_RESPONSE_CODE, &code);
    long connectCode = 0;
    curl_easy_getinfo(call.curl, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    if (code == 0 && connectCode >= 300)
        code = connectCode; // the proxy refused the tunnel (407 among others)
    if (code <= 0) {
        st.StatusCode = -1;
        return Decision::NoStatus;
    }
    st.StatusCode = int(code);
    const HttpHeaderBlock headers(call.headers);

    if (code == 401 && hasPasswordRequest) {
        const std::optional<QString> challenge = headers.value("WWW-Authenticate");
        const QString realm = challenge ? RealmOf(*challenge) : QString();
        TWorkerThread::Synchronize([&] {
            owner->publish(*this);
            bool again = false;
            if (owner->OnPasswordRequest)
                owner->OnPasswordRequest(*owner, realm, again);
            if (discarded)
                return; // the handler aborted or freed the transfer
            tryAgain = again;
            // The handler may have changed them.
            username = owner->HTTPUsername();
            password = owner->HTTPPassword();
        });
        if (tryAgain)
            return Decision::Retry;
    }
    if (code == 407 && hasProxyAuth) {
        TWorkerThread::Synchronize([&] {
            owner->publish(*this);
            bool again = false;
            if (owner->OnProxyAuthenticationRequest)
                owner->OnProxyAuthenticationRequest(*owner, owner->m_proxyUsername, owner->m_proxyPassword, again);
            if (discarded)
                return;
            tryAgain = again;
            proxyUsername = owner->m_proxyUsername;
            proxyPassword = owner->m_proxyPassword;
        });
        if (tryAgain)
            return Decision::Retry;
    }

    st.ContentType = headers.value("Content-Type").value_or(QString());
    const std::optional<QString> length = headers.value("Content-Length");
    lengthKnown = length.has_value();
    st.ContentLength = 0;
    if (length) {
        bool ok = false;
        const qint64 n = length->toLongLong(&ok);
        st.ContentLength = ok ? n : 0;
    }
    st.RawHeaders = headers.raw();
    st.ContentLanguage = headers.value("Content-Language").value_or(QString());
    st.ContentEncoding = headers.value("Content-Encoding").value_or(QString());
    st.Date = ParseHttpDate(headers.value("Date").value_or(QString()));
    st.LastModified = ParseHttpDate(headers.value("Last-Modified").value_or(QString()));
    st.Expires = ParseHttpDate(headers.value("Expires").value_or(QString()));

    if (hasHeaderInfo) {
        TWorkerThread::Synchronize([&] {
            owner->publish(*this);
            bool carryOn = true;
            if (owner->OnHeaderInfo)
                owner->OnHeaderInfo(*owner, st.RawHeaders, st.ContentType, st.ContentLanguage,
                                    st.ContentEncoding, st.ContentLength, st.Date, st.LastModified,
                                    st.Expires, carryOn);
            if (!discarded)
                continueTransfer = carryOn;
        });
        if (!continueTransfer)
            return Decision::Stop;
    }

    if (!createDestination()) {
        localFailure = true;
        return Decision::LocalFailure;
    }
    st.BytesTransferred = 0;
    return Decision::Proceed;
}

bool TransferJob::createDestination()
{
    std::unique_ptr<QIODevice> device;
    if (!fileName.isEmpty()) {
        auto file = std::make_unique<QFile>(fileName);
        if (!file->open(QIODevice::ReadWrite | QIODevice::Truncate))
            return false;
        if (hiddenFile)
            setFileAttributes(fileName, faHidden | faTemporary);
        device = std::move(file);
    } else {
        auto buffer = std::make_unique<QBuffer>();
        if (lengthKnown && st.ContentLength > 0)
            buffer->buffer().reserve(qsizetype(qMin(st.ContentLength, kMaxReserve)));
        buffer->open(QIODevice::ReadWrite);
        device = std::move(buffer);
    }
    std::lock_guard lock(destMutex);
    if (destReleased)
        return false; // aborted meanwhile
    dest = std::move(device);
    return true;
}

size_t TransferJob::receive(Call& call, const char* data, size_t size)
{
    try {
        if (call.decision == Decision::Undecided)
            call.decision = decide(call);
        if (call.decision != Decision::Proceed)
            return 0; // ends this response; run() acts on the decision

        const size_t block = size_t(bufferSize > 0 ? bufferSize : 4096);
        size_t done = 0;
        while (done < size) {
            // Without a progress handler nobody sees the blocks: write at once.
            const size_t n = hasProgress ? qMin(block, size - done) : size - done;
            if (!writeBlock(data + done, qint64(n))) {
                localFailure = true;
                call.decision = Decision::LocalFailure;
                return 0;
            }
            done += n;
            st.BytesTransferred += qint64(n);
            if (hasProgress) {
                st.Stats = ComputeTransferStatistics(st.ContentLength, st.BytesTransferred,
                                                     Clock::tickCount() - startTicks);
                TWorkerThread::Synchronize([&] {
                    owner->publish(*this);
                    if (owner->OnTransferProgress)
                        owner->OnTransferProgress(*owner, st.ContentType, st.ContentLength,
                                                  st.BytesTransferred, st.Stats.ElapsedTime,
                                                  st.Stats.EstimatedTimeLeft, st.Stats.PercentsDone,
                                                  st.Stats.TransferRate, destination());
                });
            }
        }
        return size;
    } catch (...) {
        // Never let an error cross curl's C frames.
        call.error = std::current_exception();
        return 0;
    }
}

} // namespace detail

using detail::TransferJob;

THttpTransfer::THttpTransfer(QObject* parent) : TLoginComponent(parent)
{
    initCurl();
}

THttpTransfer::~THttpTransfer()
{
    AbortTransfer();
}

bool THttpTransfer::StartTransfer()
{
    if (m_worker.WorkerRunning())
        return false;
    if (m_job && !m_job->finishing)
        return false; // the previous worker has yet to deliver its outcome

    auto job = std::make_shared<TransferJob>();
    job->owner = this;
    job->url = URL;
    job->fileName = FileName;
    job->hiddenFile = HiddenFile;
    job->acceptTypes = AcceptTypes;
    job->agent = Agent;
    job->postData = PostData;
    job->referer = Referer;
    job->useCache = UseCache;
    job->acceptCookies = AcceptCookies;
    job->offlineMode = OfflineMode;
    job->range = Range;
    job->bufferSize = TransferBufferSize > 0 ? TransferBufferSize : 4096;
    job->requestMethod = RequestMethod;
    job->extraHeaders = ExtraHeaders;
    job->proxy = Proxy;
    job->username = HTTPUsername();
    job->password = HTTPPassword();
    job->proxyUsername = m_proxyUsername;
    job->proxyPassword = m_proxyPassword;
    job->hasHeaderInfo = bool(OnHeaderInfo);
    job->hasProgress = bool(OnTransferProgress);
    job->hasPasswordRequest = bool(OnPasswordRequest);
    job->hasProxyAuth = bool(OnProxyAuthenticationRequest);

    m_job = job;
    m_state = PublishedState();
    m_worker.OnWork = [job] { job->run(); };
    // An error inside the worker is a failure on our side.
    m_worker.OnWorkError = [job](TWorkerThread&, std::exception_ptr) { job->localFailure = true; };
    m_worker.OnWorkEnd = [this, job](TWorkerThread&) { FinishTransfer(job); };
    m_worker.RunWorker();
    // The running worker has its own copies; don't keep the job alive here.
    m_worker.OnWork = nullptr;
    m_worker.OnWorkError = nullptr;
    m_worker.OnWorkEnd = nullptr;
    return true;
}

void THttpTransfer::AbortTransfer()
{
    const std::shared_ptr<TransferJob> job = m_job;
    bool stopped = false;
    if (job && !job->finishing) {
        // Running, or ended with its outcome not yet delivered: either way
        // nothing of it may arrive any more.
        m_worker.StopWorker();
        stopped = true;
    }
    if (job) {
        job->discarded = true;
        job->releaseDestination();
        m_job.reset();
    }
    // Last, so that the handler may start the next transfer.
    if (stopped && OnTransferStopped)
        OnTransferStopped(*this);
}

bool THttpTransfer::TransferBusy() const { return m_worker.WorkerRunning(); }

void THttpTransfer::publish(const TransferJob& job) { m_state = job.st; }

void THttpTransfer::FinishTransfer(const std::shared_ptr<TransferJob>& job)
{
    if (job->discarded)
        return;
    job->finishing = true;
    // A handler may abort or even free this object: once the job is
    // discarded, nothing here touches `this` again.
    const auto release = qScopeGuard([&] {
        job->releaseDestination();
        if (!job->discarded && m_job == job)
            m_job.reset();
    });

    QIODevice* data = job->destination();
    if (data)
        data->seek(0);
    publish(*job);
    const PublishedState& st = job->st;

    if (job->continueTransfer) {
        if (job->localFailure) {
            if (OnTransferFailed)
                OnTransferFailed(*this);
        } else if (st.Succeeded) {
            QIODevice* memory = data;
            if (!job->fileName.isEmpty()) {
                if (data)
                    data->close();
                memory = nullptr;
            }
            if (OnDone)
                OnDone(*this, st.ContentType, memory, st.BytesTransferred);
        } else {
            if (OnTransferFailed)
                OnTransferFailed(*this);
            if (job->discarded)
                return;
            const bool whole = st.StatusCode == 200 || (st.StatusCode == 206 && job->rangeRequested());
            if (whole) {
                if (OnConnectionLost)
                    OnConnectionLost(*this, st.ContentType, st.ContentLength, st.BytesTransferred, data);
            } else if (st.StatusCode == -1) {
                if (OnHostUnreachable)
                    OnHostUnreachable(*this);
            } else if (OnHTTPError) {
                OnHTTPError(*this, st.StatusCode, data);
            }
        }
    }
    if (job->discarded)
        return;
    job->releaseDestination();
    if (!job->continueTransfer && OnTransferAborted)
        OnTransferAborted(*this);
}

} // namespace orv
