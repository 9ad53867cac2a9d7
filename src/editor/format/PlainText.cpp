#include "editor/format/Formats.h"

#include "platform/TextCodec.h"

namespace orv::doc::detail {

namespace {

void flowText(const Flow& f, QStringList& lines, bool flat);

QString flowAsLine(const Flow& f)
{
    QStringList parts;
    flowText(f, parts, true);
    return parts.join(QLatin1Char(' '));
}

void flowText(const Flow& f, QStringList& lines, bool flat)
{
    for (const Item& it : f.items) {
        if (it.para) {
            QString line;
            for (const Run& r : it.para->runs)
                line += r.text;
            line.remove(QChar::ObjectReplacementCharacter);
            line.replace(QChar::LineSeparator, flat ? QStringLiteral(" ") : QStringLiteral("\r\n"));
            lines.append(line);
        } else {
            // A table row becomes one line, its cells separated by tabs.
            const Table& t = *it.table;
            std::vector<QStringList> rows(size_t(t.rows));
            for (const Cell& c : t.cells)
                rows[size_t(c.row)].append(c.content ? flowAsLine(*c.content) : QString());
            for (const QStringList& r : rows)
                lines.append(r.join(QLatin1Char('\t')));
        }
    }
}

} // namespace

ReadResult readPlainText(const QByteArray& data)
{
    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QString text = decodeUtf8OrWindows1252(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    ReadResult r;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        Para& p = r.content.body.flow.addPara();
        if (!line.isEmpty())
            p.runs.push_back({QTextCharFormat(), cleanRunText(line)});
    }
    r.content.footer.flow.addPara();
    return r;
}

QByteArray writePlainText(const Content& content)
{
    QStringList lines;
    flowText(content.body.flow, lines, false);
    return lines.join(QStringLiteral("\r\n")).toUtf8();
}

} // namespace orv::doc::detail
