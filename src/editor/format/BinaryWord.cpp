// Old binary Word documents (Word 97-2003): read through the antiword
// program's DocBook output. Best effort: paragraphs, bold and italic text,
// tables.
#include "editor/format/Formats.h"

#include "platform/Error.h"

#include <QProcess>
#include <functional>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QXmlStreamReader>

namespace orv::doc::detail {

namespace {

class DocBookReader {
public:
    explicit DocBookReader(const QByteArray& xml) : m_x(xml) {}

    Flow run()
    {
        Flow flow;
        while (m_x.readNextStartElement())
            container(flow, 0); // the root element
        if (flow.items.empty() || flow.items.back().table)
            flow.addPara();
        return flow;
    }

private:
    QXmlStreamReader m_x;

    void container(Flow& flow, int depth)
    {
        if (depth > 64) {
            m_x.skipCurrentElement();
            return;
        }
        const QStringView n = m_x.name();
        if (n == QLatin1String("para") || n == QLatin1String("title")) {
            QTextCharFormat f;
            if (n == QLatin1String("title"))
                f.setFontWeight(QFont::Bold);
            Para* p = &flow.addPara();
            text(flow, p, f, depth);
            trim(*p);
        } else if (n == QLatin1String("informaltable") || n == QLatin1String("table")) {
            table(flow, depth);
        } else {
            while (m_x.readNextStartElement())
                container(flow, depth + 1);
        }
    }

    // DocBook text is laid out with line breaks and indentation: blanks
    // collapse as in HTML.
    static void trim(Para& p)
    {
        while (!p.runs.empty() && p.runs.front().text.trimmed().isEmpty())
            p.runs.erase(p.runs.begin());
        while (!p.runs.empty() && p.runs.back().text.trimmed().isEmpty())
            p.runs.pop_back();
        if (!p.runs.empty()) {
            QString& first = p.runs.front().text;
            while (first.startsWith(QLatin1Char(' ')))
                first.remove(0, 1);
            QString& last = p.runs.back().text;
            while (last.endsWith(QLatin1Char(' ')))
                last.chop(1);
        }
    }

    // Inline content of a paragraph; a table inside it (antiword nests
    // tables in paragraphs) ends the paragraph, and the text after it goes
    // into a new one (*p is updated).
    void text(Flow& flow, Para*& p, const QTextCharFormat& f, int depth)
    {
        while (!m_x.atEnd()) {
            m_x.readNext();
            if (m_x.isCharacters()) {
                QString t = m_x.text().toString();
                for (QChar& c : t)
                    if (c.isSpace())
                        c = QLatin1Char(' ');
                t = collapse(t);
                if (!t.isEmpty()) {
                    if (!p->runs.empty() && p->runs.back().format == f)
                        p->runs.back().text = collapse(p->runs.back().text + t);
                    else
                        p->runs.push_back({f, t});
                }
            } else if (m_x.isStartElement()) {
                const QStringView n = m_x.name();
                if ((n == QLatin1String("informaltable") || n == QLatin1String("table")) && depth < 64) {
                    trim(*p);
                    table(flow, depth + 1);
                    p = &flow.addPara();
                    continue;
                }
                QTextCharFormat inner = f;
                if (n == QLatin1String("emphasis")) {
                    const QStringView role = m_x.attributes().value(QLatin1String("role"));
                    if (role == QLatin1String("bold"))
                        inner.setFontWeight(QFont::Bold);
                    else
                        inner.setFontItalic(true);
                }
                if (depth < 64)
                    text(flow, p, inner, depth + 1);
                else
                    m_x.skipCurrentElement();
            } else if (m_x.isEndElement()) {
                return;
            }
        }
    }

    static QString collapse(const QString& t)
    {
        QString out;
        out.reserve(t.size());
        for (QChar c : t) {
            if (c == QLatin1Char(' ') && out.endsWith(QLatin1Char(' ')))
                continue;
            out += c;
        }
        return out;
    }

    void table(Flow& flow, int depth)
    {
        std::vector<std::vector<std::unique_ptr<Flow>>> rows;
        int cols = 0;
        std::function<void(int)> walk = [&](int d) {
            while (m_x.readNextStartElement()) {
                if (m_x.name() == QLatin1String("row")) {
                    std::vector<std::unique_ptr<Flow>> row;
                    while (m_x.readNextStartElement()) {
                        if (m_x.name() == QLatin1String("entry") && row.size() < size_t(kMaxTableColumns)) {
                            auto cell = std::make_unique<Flow>();
                            Para* p = &cell->addPara();
                            text(*cell, p, QTextCharFormat(), depth + 1);
                            trim(*p);
                            row.push_back(std::move(cell));
                        } else {
                            m_x.skipCurrentElement();
                        }
                    }
                    cols = std::max(cols, int(row.size()));
                    if (rows.size() < 32767)
                        rows.push_back(std::move(row));
                } else if (d < 8) {
                    walk(d + 1);
                } else {
                    m_x.skipCurrentElement();
                }
            }
        };
        walk(0);
        if (rows.empty() || cols == 0)
            return;
        Table t;
        t.cols = cols;
        t.rows = int(std::min<qint64>(qint64(rows.size()), kMaxTableCells / cols));
        t.format.setBorder(1);
        t.format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        t.format.setBorderBrush(Qt::black);
        t.format.setCellSpacing(0);
        t.format.setBorderCollapse(true);
        for (int r = 0; r < t.rows; ++r)
            for (size_t c = 0; c < rows[size_t(r)].size(); ++c) {
                Cell cell;
                cell.row = r;
                cell.col = int(c);
                cell.format = QTextTableCellFormat();
                cell.content = std::move(rows[size_t(r)][c]);
                t.cells.push_back(std::move(cell));
            }
        if (flow.items.empty() || flow.items.back().table)
            flow.addPara();
        Item it;
        it.table = std::make_unique<Table>(std::move(t));
        flow.items.push_back(std::move(it));
    }
};

} // namespace

ReadResult readBinaryWord(const QByteArray& data)
{
    const QString antiword = QStandardPaths::findExecutable(QStringLiteral("antiword"));
    if (antiword.isEmpty())
        throw Error(QStringLiteral("Per importare i documenti Word nel vecchio formato (.doc) occorre il programma "
                                   "antiword, che non è installato. Salvare il documento in formato RTF o .docx "
                                   "e riprovare."));
    QTemporaryFile file;
    if (!file.open() || file.write(data) != data.size() || !file.flush())
        throw Error(QStringLiteral("Impossibile preparare il documento Word per l'importazione"));
    QProcess p;
    p.setProgram(antiword);
    p.setArguments({QStringLiteral("-x"), QStringLiteral("db"), file.fileName()});
    p.start();
    const bool done = p.waitForFinished(60000);
    if (!done) {
        p.kill();
        p.waitForFinished(5000);
    }
    const QByteArray out = p.readAllStandardOutput();
    if (!done || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || out.isEmpty())
        throw Error(QStringLiteral("Il documento Word non può essere importato: il programma antiword non è "
                                   "riuscito a leggerlo."));
    ReadResult r;
    r.content.body.flow = DocBookReader(out).run();
    r.content.footer.flow.addPara();
    validate(r.content.body.flow);
    return r;
}

} // namespace orv::doc::detail
