#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <optional>

// The pure pieces of the HTTP transfer: address splitting, HTTP dates,
// response headers and the progress statistics. No network, no threads.
namespace orv {

struct TUrlParts {
    QString Scheme;    // at most 32 characters
    QString HostName;  // at most 256
    QString UserName;  // at most 128
    QString Password;  // at most 128
    QString UrlPath;   // at most 2048
    QString ExtraInfo; // from "?" or "#" on, at most 2048
    int Port = 0;      // the scheme's default when none is given
};

// Splits an address ("http://" is put in front when it has no "://"),
// decoding percent escapes. An address that cannot be split gives empty
// parts and port 0.
TUrlParts CrackURL(const QString& address);

// The last segment of an address: the text after its last "/" or ":".
QString RemoteFileNameOf(const QString& url);

// One of the three HTTP date forms (RFC 1123, RFC 850, asctime), with an
// optional "+hhmm"/"-hhmm" offset of the sender's clock, as a local
// date-time. Empty or unreadable text gives an invalid QDateTime (the "0"
// date).
QDateTime ParseHttpDate(const QString& text);
// "+0100" -> 60, "-0530" -> -330; anything else 0. In minutes.
int ParseGmtOffset(const QString& text);

// A response header block as received: status line, header lines, blank line.
class HttpHeaderBlock {
public:
    HttpHeaderBlock() = default;
    explicit HttpHeaderBlock(QByteArray raw) : m_raw(std::move(raw)) {}

    // The first occurrence of a header; absent when missing or when its
    // value is longer than 4095 characters.
    std::optional<QString> value(const char* name) const;
    // The whole block with its line ends; empty when longer than 4095 characters.
    QString raw() const;
    bool empty() const { return m_raw.isEmpty(); }

private:
    QByteArray m_raw;
};

// The realm of a WWW-Authenticate value: the quoted text after the first
// `="`; the whole value when there is no such pair.
QString RealmOf(const QString& wwwAuthenticate);

// A proxy bypass list in the "host;host;*.domain;<local>" form, as a curl
// no-proxy list ("host,host,.domain"). Entries curl cannot express are left out.
QString NoProxyList(const QString& bypass);

struct TransferStatistics {
    quint8 PercentsDone = 0;
    int ElapsedTime = 0;       // seconds
    int EstimatedTimeLeft = 0; // seconds; negative when no length was announced
    float TransferRate = 0;    // kilobytes per second
};
TransferStatistics ComputeTransferStatistics(qint64 contentLength, qint64 bytesTransferred,
                                             quint32 elapsedMs);

} // namespace orv
