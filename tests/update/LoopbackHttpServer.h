#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orv::test {

struct HttpRequest {
    QByteArray method;
    QByteArray target;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // First occurrence, name compared without case; empty when missing.
    QByteArray header(const char* name) const;
    bool hasHeader(const char* name) const;
};

// The server side of one accepted connection.
class HttpConnection {
public:
    explicit HttpConnection(int fd) : m_fd(fd) {}
    // False once the peer is gone.
    bool send(const QByteArray& bytes);
    // Waits until the peer closes the connection; false when the time ran out.
    bool waitForPeerClose(int timeoutMs);
    // Resets the connection at once (the client sees it broken).
    void reset();
    bool wasReset() const { return m_reset; }

private:
    int m_fd;
    bool m_reset = false;
};

// A plain HTTP/1.1 server on 127.0.0.1 and a free port, on a thread of its
// own, one connection at a time, every response closing its connection.
// Each request goes to the handler, which writes the response.
class LoopbackHttpServer {
public:
    using Handler = std::function<void(const HttpRequest&, HttpConnection&)>;

    explicit LoopbackHttpServer(Handler handler);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    quint16 port() const { return m_port; }
    QString url(const QString& path) const;
    std::vector<HttpRequest> requests() const;
    int requestCount() const;
    // Connections the handler has finished with.
    int connectionsClosed() const { return m_closed; }

    // A whole response; the length header is left out when withLength is false.
    static QByteArray response(int status, const QByteArray& body,
                               const QList<QByteArray>& headers = {}, bool withLength = true);
    // A loopback port where nothing listens.
    static quint16 closedPort();

private:
    void serve();
    void handleConnection(int fd);

    Handler m_handler;
    int m_listenFd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_closed{0};
    mutable std::mutex m_mutex;
    std::vector<HttpRequest> m_requests;
    std::thread m_thread;
};

} // namespace orv::test
