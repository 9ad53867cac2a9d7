#include "editor/format/FieldNames.h"

#include <QRegularExpression>

namespace orv::doc::detail {

namespace {
bool plain(const QString& s)
{
    for (QChar c : s)
        if (!(c.unicode() < 128 && c.isLetterOrNumber()))
            return false;
    return !s.isEmpty() && !s.startsWith(QLatin1Char('x'));
}
} // namespace

QString fieldBookmarkName(const FieldAttrs& f)
{
    const QString data = plain(f.data) ? f.data : QStringLiteral("x") + QString::fromLatin1(f.data.toUtf8().toHex());
    return QStringLiteral("ORV%1_%2_%3%4_%5")
        .arg(f.id)
        .arg(f.kind)
        .arg(f.changeable ? 1 : 0)
        .arg(f.deletable ? 1 : 0)
        .arg(data);
}

std::optional<FieldAttrs> parseFieldBookmarkName(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^ORV(\\d{1,9})_(-?\\d{1,9})_([01])([01])_([A-Za-z0-9]*)$"));
    const QRegularExpressionMatch m = re.match(name);
    if (!m.hasMatch())
        return std::nullopt;
    FieldAttrs f;
    f.id = m.captured(1).toInt();
    f.kind = m.captured(2).toInt();
    f.changeable = m.captured(3) == QLatin1String("1");
    f.deletable = m.captured(4) == QLatin1String("1");
    const QString data = m.captured(5);
    if (data.startsWith(QLatin1Char('x'))) {
        const QByteArray hex = data.mid(1).toLatin1();
        if (hex.size() % 2)
            return std::nullopt;
        f.data = QString::fromUtf8(QByteArray::fromHex(hex));
    } else {
        f.data = data;
    }
    if (f.id <= 0)
        return std::nullopt;
    return f;
}

} // namespace orv::doc::detail
