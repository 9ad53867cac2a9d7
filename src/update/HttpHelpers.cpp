#include "update/HttpHelpers.h"

#include <QList>
#include <QStringDecoder>
#include <QTimeZone>
#include <cmath>

namespace orv {
namespace {

QString percentDecoded(const QString& text)
{
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.toUtf8());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    // Old servers and pages escape single-byte text; keep it readable.
    return utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
}

bool validScheme(const QString& scheme)
{
    if (scheme.isEmpty() || !scheme.at(0).isLetter())
        return false;
    for (const QChar c : scheme) {
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.') || c.unicode() > 127)
            return false;
    }
    return true;
}

int defaultPort(const QString& scheme)
{
    const QString s = scheme.toLower();
    if (s == u"http")
        return 80;
    if (s == u"https")
        return 443;
    if (s == u"ftp")
        return 21;
    if (s == u"gopher")
        return 70;
    return 0;
}

QString trimStart(const QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    return s.mid(i);
}

// Takes the text up to `sep` (or all of it), drops it and the separator,
// and trims the start of the rest.
QString takePart(QString& s, QChar sep)
{
    const qsizetype i = s.indexOf(sep);
    QString part;
    if (i < 0) {
        part = s;
        s.clear();
    } else {
        part = s.left(i);
        s = s.mid(i + 1);
    }
    s = trimStart(s);
    return part;
}

int monthNumber(const QString& name)
{
    static const char* const months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const QString upper = name.toUpper();
    for (int i = 0; i < 12; ++i) {
        if (upper == QLatin1String(months[i]))
            return i + 1;
    }
    return 0;
}

int numberOr(const QString& text, int fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : fallback;
}

bool isWeekday(const QString& threeLetters)
{
    static const char* const days[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    const QString upper = threeLetters.toUpper();
    for (const char* d : days) {
        if (upper == QLatin1String(d))
            return true;
    }
    return false;
}

// "10.*" or "192.168.*.*" as CIDR; empty when it is not such a pattern.
QString ipv4WildcardAsCidr(const QString& entry)
{
    const QStringList parts = entry.split(u'.');
    if (parts.size() > 4)
        return {};
    QStringList octets;
    bool inWildcard = false;
    for (const QString& p : parts) {
        if (p == u"*") {
            inWildcard = true;
            continue;
        }
        bool ok = false;
        const int v = p.toInt(&ok);
        if (inWildcard || !ok || v < 0 || v > 255)
            return {};
        octets << QString::number(v);
    }
    if (!inWildcard || octets.isEmpty())
        return {};
    const int bits = int(octets.size()) * 8;
    while (octets.size() < 4)
        octets << QStringLiteral("0");
    return octets.join(u'.') + u'/' + QString::number(bits);
}

} // namespace

TUrlParts CrackURL(const QString& address)
{
    QString s = address;
    if (!s.contains(QLatin1String("://")))
        s.prepend(QLatin1String("http://"));

    const qsizetype schemeEnd = s.indexOf(QLatin1String("://"));
    TUrlParts parts;
    const QString scheme = s.left(schemeEnd);
    if (!validScheme(scheme))
        return {};

    const QString rest = s.mid(schemeEnd + 3);
    qsizetype authorityEnd = rest.size();
    for (const QChar c : {u'/', u'?', u'#'}) {
        const qsizetype i = rest.indexOf(c);
        if (i >= 0 && i < authorityEnd)
            authorityEnd = i;
    }
    const QString authority = rest.left(authorityEnd);
    const QString tail = rest.mid(authorityEnd);

    QString hostPort = authority;
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        hostPort = authority.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(u':');
        parts.UserName = percentDecoded(colon < 0 ? userInfo : userInfo.left(colon));
        parts.Password = colon < 0 ? QString() : percentDecoded(userInfo.mid(colon + 1));
    }

    QString host;
    QString portText;
    if (hostPort.startsWith(u'[')) {
        const qsizetype close = hostPort.indexOf(u']');
        if (close < 0)
            return {};
        host = hostPort.mid(1, close - 1);
        const QString after = hostPort.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':'))
                return {};
            portText = after.mid(1);
        }
    } else {
        const qsizetype colon = hostPort.indexOf(u':');
        host = colon < 0 ? hostPort : hostPort.left(colon);
        portText = colon < 0 ? QString() : hostPort.mid(colon + 1);
    }
    host = percentDecoded(host);
    if (host.isEmpty())
        return {};

    parts.Port = defaultPort(scheme);
    if (!portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        for (const QChar c : portText) {
            if (!c.isDigit())
                ok = false;
        }
        if (!ok || port < 1 || port > 65535)
            return {};
        parts.Port = port;
    }

    qsizetype extraStart = tail.size();
    for (const QChar c : {u'?', u'#'}) {
        const qsizetype i = tail.indexOf(c);
        if (i >= 0 && i < extraStart)
            extraStart = i;
    }
    parts.Scheme = scheme;
    parts.HostName = host;
    parts.UrlPath = percentDecoded(tail.left(extraStart));
    parts.ExtraInfo = percentDecoded(tail.mid(extraStart));

    if (parts.Scheme.size() > 32 || parts.HostName.size() > 256 || parts.UserName.size() > 128
        || parts.Password.size() > 128 || parts.UrlPath.size() > 2048 || parts.ExtraInfo.size() > 2048)
        return {};
    return parts;
}

QString RemoteFileNameOf(const QString& url)
{
    const qsizetype cut = qMax(url.lastIndexOf(u'/'), url.lastIndexOf(u':'));
    return url.mid(cut + 1);
}

int ParseGmtOffset(const QString& text)
{
    const QString s = text.trimmed().left(5);
    if (s.size() < 5 || (s.at(0) != u'+' && s.at(0) != u'-'))
        return 0;
    const QString hh = s.mid(1, 2);
    const QString mm = s.mid(3, 2);
    for (const QChar c : hh + mm) {
        if (!c.isDigit() || c.unicode() > 127)
            return 0;
    }
    const int hours = hh.toInt();
    const int minutes = mm.toInt();
    if (hours > 23 || minutes > 59)
        return 0;
    const int offset = hours * 60 + minutes;
    return s.at(0) == u'-' ? -offset : offset;
}

QDateTime ParseHttpDate(const QString& text)
{
    QString s = text.trimmed();
    if (s.isEmpty())
        return {};

    if (isWeekday(s.left(3))) {
        const qsizetype space = s.indexOf(u' ');
        if (space >= 0)
            s = trimStart(s.mid(space + 1));
    }

    const qsizetype firstDash = s.indexOf(u'-');
    const qsizetype firstSpace = s.indexOf(u' ');
    const QChar sep = (firstDash >= 1 && firstSpace >= 0 && firstDash < firstSpace) ? u'-' : u' ';

    int day = 1;
    int month = 0;
    const qsizetype sepAt = s.indexOf(sep);
    if (monthNumber(sepAt < 0 ? s : s.left(sepAt)) != 0) {
        month = monthNumber(takePart(s, sep));
        day = numberOr(takePart(s, sep), 1);
    } else {
        day = numberOr(takePart(s, sep), 1);
        month = monthNumber(takePart(s, sep));
    }

    // RFC 1123 and RFC 850 put the year next; asctime puts the time there
    // and ends with the year.
    QString timeText;
    const QString yearText = takePart(s, u' ');
    int year = numberOr(yearText, 1900);
    if (year == 1900) {
        year = numberOr(s, 1900);
        timeText = yearText;
        s.clear();
    }
    if (year < 80)
        year += 2000;
    else if (year < 100)
        year += 1900;

    if (timeText.isEmpty() && s.contains(u':'))
        timeText = takePart(s, u' ');
    int hours = 0, minutes = 0, seconds = 0;
    if (!timeText.isEmpty()) {
        const QStringList hms = timeText.split(u':');
        hours = numberOr(hms.value(0), 0);
        minutes = numberOr(hms.value(1), 0);
        seconds = numberOr(hms.value(2), 0);
    }

    const QDate date(year, month, day);
    const QTime time(hours, minutes, seconds);
    if (!date.isValid() || !time.isValid())
        return {};

    QDateTime utc(date, time, Qt::UTC);
    if (s.trimmed().size() >= 5)
        utc = utc.addSecs(-qint64(ParseGmtOffset(s)) * 60);
    // The zone rules of the date itself, not of today, decide the local time.
    return utc.toLocalTime();
}

std::optional<QString> HttpHeaderBlock::value(const char* name) const
{
    const QByteArray wanted = QByteArray(name).toLower();
    const QList<QByteArray> lines = m_raw.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        if (line.left(colon).trimmed().toLower() != wanted)
            continue;
        const QByteArray v = line.mid(colon + 1).trimmed();
        if (v.size() > 4095)
            return std::nullopt;
        return QString::fromLatin1(v);
    }
    return std::nullopt;
}

QString HttpHeaderBlock::raw() const
{
    return m_raw.size() > 4095 ? QString() : QString::fromLatin1(m_raw);
}

QString RealmOf(const QString& wwwAuthenticate)
{
    const qsizetype i = wwwAuthenticate.indexOf(QLatin1String("=\""));
    if (i < 0)
        return wwwAuthenticate;
    const qsizetype start = i + 2;
    const qsizetype close = wwwAuthenticate.indexOf(u'"', start);
    if (close >= 0)
        return wwwAuthenticate.mid(start, close - start);
    // No closing quote: up to, not including, the last character.
    return wwwAuthenticate.mid(start, qMax<qsizetype>(0, wwwAuthenticate.size() - 1 - start));
}

QString NoProxyList(const QString& bypass)
{
    QStringList out;
    QString normalised = bypass;
    normalised.replace(u';', u' ').replace(u',', u' ');
    for (QString entry : normalised.split(u' ', Qt::SkipEmptyParts)) {
        entry = entry.trimmed();
        if (entry.compare(QLatin1String("<local>"), Qt::CaseInsensitive) == 0) {
            out << QStringLiteral("localhost");
        } else if (entry == u"*") {
            out << entry;
        } else if (entry.startsWith(QLatin1String("*."))) {
            const QString domain = entry.mid(1);
            if (!domain.contains(u'*'))
                out << domain;
        } else if (entry.contains(u'*')) {
            const QString cidr = ipv4WildcardAsCidr(entry);
            if (!cidr.isEmpty())
                out << cidr;
        } else {
            out << entry;
        }
    }
    out.removeDuplicates();
    return out.join(u',');
}

TransferStatistics ComputeTransferStatistics(qint64 contentLength, qint64 bytesTransferred,
                                             quint32 elapsedMs)
{
    TransferStatistics st;
    st.ElapsedTime = int(elapsedMs / 1000);
    if (contentLength > 0) {
        // nearbyint rounds halves to even, like the original figures.
        const double percent = std::nearbyint(double(bytesTransferred) * 100.0 / double(contentLength));
        st.PercentsDone = quint8(qBound(0.0, percent, 100.0));
    }
    if (bytesTransferred > 0) {
        const double total = std::nearbyint(double(contentLength) / double(bytesTransferred) * st.ElapsedTime);
        st.EstimatedTimeLeft = int(qBound(-double(INT_MAX), total, double(INT_MAX))) - st.ElapsedTime;
    }
    st.TransferRate = float(double(bytesTransferred) / 1024.0);
    if (st.ElapsedTime != 0)
        st.TransferRate /= float(st.ElapsedTime);
    return st;
}

} // namespace orv
