#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace orv::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr qsizetype kMaxHead = 256 * 1024;
constexpr qsizetype kMaxBody = 16 * 1024 * 1024;
constexpr int kReadTimeoutMs = 20000;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Reads what is available within the deadline; false on end, error or time-out.
bool readSome(int fd, QByteArray& into, Clock::time_point deadline)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, remainingMs(deadline)) <= 0)
        return false;
    char buf[16384];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0)
        return false;
    into.append(buf, qsizetype(n));
    return true;
}

QByteArray reasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 302: return "Found";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 407: return "Proxy Authentication Required";
    default: return "Status";
    }
}

} // namespace

QByteArray HttpRequest::header(const char* name) const
{
    const QByteArray wanted = QByteArray(name).toLower();
    for (const auto& h : headers) {
        if (h.first.toLower() == wanted)
            return h.second;
    }
    return {};
}

bool HttpRequest::hasHeader(const char* name) const
{
    const QByteArray wanted = QByteArray(name).toLower();
    for (const auto& h : headers) {
        if (h.first.toLower() == wanted)
            return true;
    }
    return false;
}

bool HttpConnection::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

bool HttpConnection::waitForPeerClose(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    while (Clock::now() < deadline) {
        pollfd p{m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, qMin(remainingMs(deadline), 200));
        if (r < 0)
            return true;
        if (r > 0) {
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                return true;
        }
    }
    return false;
}

void HttpConnection::reset()
{
    linger l{1, 0};
    // Closing with a zero linger time sends a reset instead of an orderly end.
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    m_reset = true;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : m_handler(std::move(handler))
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        throw std::runtime_error("socket");
    const int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || ::listen(m_listenFd, 16) != 0) {
        ::close(m_listenFd);
        throw std::runtime_error("bind/listen");
    }
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listenFd);
}

QString LoopbackHttpServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

std::vector<HttpRequest> LoopbackHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int LoopbackHttpServer::requestCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_requests.size());
}

QByteArray LoopbackHttpServer::response(int status, const QByteArray& body,
                                        const QList<QByteArray>& headers, bool withLength)
{
    QByteArray r = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonOf(status) + "\r\n";
    for (const QByteArray& h : headers)
        r += h + "\r\n";
    r += "Connection: close\r\n";
    if (withLength)
        r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    r += "\r\n";
    r += body;
    return r;
}

quint16 LoopbackHttpServer::closedPort()
{
    // Bind without listening: the port is ours, and connecting is refused.
    static int fd = [] {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        return s;
    }();
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

void LoopbackHttpServer::serve()
{
    while (!m_stop) {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        handleConnection(fd);
        ::close(fd);
        ++m_closed;
    }
}

void LoopbackHttpServer::handleConnection(int fd)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    QByteArray data;
    qsizetype headEnd = -1;
    while ((headEnd = data.indexOf("\r\n\r\n")) < 0) {
        if (data.size() > kMaxHead || !readSome(fd, data, deadline))
            return;
        if (data.startsWith('\x16'))
            return; // a TLS handshake: this server speaks plain HTTP only
    }

    HttpRequest request;
    const QList<QByteArray> lines = data.left(headEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    request.body = data.mid(headEnd + 4);
    const qsizetype length = request.header("Content-Length").toLongLong();
    if (length > kMaxBody)
        return;
    while (request.body.size() < length) {
        if (!readSome(fd, request.body, deadline))
            return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }

    HttpConnection connection(fd);
    m_handler(request, connection);
    if (connection.wasReset())
        return;
    // Half-close and let the client finish reading, so the close is orderly.
    ::shutdown(fd, SHUT_WR);
    connection.waitForPeerClose(2000);
}

} // namespace orv::test
