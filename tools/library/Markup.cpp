#include "Markup.h"

#include "platform/Error.h"

#include <QRegularExpression>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextTable>
#include <QTextTableFormat>

namespace orv::library {

const QStringList& mergeFieldKeys()
{
    static const QStringList keys{QStringLiteral("COMUNE"),   QStringLiteral("PROVINCIA"),
                                  QStringLiteral("VIA"),      QStringLiteral("CITTA"),
                                  QStringLiteral("NUMERO"),   QStringLiteral("TELEFONO"),
                                  QStringLiteral("FAX"),      QStringLiteral("SERVIZIO"),
                                  QStringLiteral("MAIL")};
    return keys;
}

namespace {

const QString kFontFamily = QStringLiteral("Times New Roman");
constexpr double kBodyPt = 11.0;
constexpr double kFooterPt = 8.0;

enum class Align { Default, Left, Right, Center, Justify };

Qt::Alignment toQt(Align a, Qt::Alignment fallback)
{
    switch (a) {
    case Align::Left: return Qt::AlignLeft;
    case Align::Right: return Qt::AlignRight;
    case Align::Center: return Qt::AlignHCenter;
    case Align::Justify: return Qt::AlignJustify;
    case Align::Default: break;
    }
    return fallback;
}

// Writes blocks into one QTextDocument (the body or the footer).
class Writer {
public:
    Writer(QTextDocument* doc, int* nextFieldId, double basePt, const QString& file)
        : m_doc(doc), m_cursor(doc), m_nextFieldId(nextFieldId), m_basePt(basePt), m_file(file)
    {
        QFont f(kFontFamily);
        f.setPointSizeF(basePt);
        doc->setDefaultFont(f);
    }

    void paragraph(const QString& text, QTextBlockFormat bf, QTextCharFormat cf)
    {
        startBlock(bf, cf);
        inlineText(text, cf);
    }

    void table(const QList<QStringList>& rows, int headerRows, const QList<Align>& aligns,
               const QList<int>& weights, int lineNo, bool plain)
    {
        int cols = 0;
        for (const QStringList& r : rows)
            cols = std::max<int>(cols, int(r.size()));
        if (cols == 0)
            throw Error(QStringLiteral("%1:%2: tabella vuota").arg(m_file).arg(lineNo));
        // The table goes after the current block; a new empty block before it
        // keeps the previous paragraph intact.
        QTextBlockFormat bf;
        if (m_pageBreak) {
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            m_pageBreak = false;
        }
        if (!m_first)
            m_cursor.insertBlock(bf, baseChar());
        else
            m_cursor.setBlockFormat(bf);
        m_first = false;

        QTextTableFormat tf;
        tf.setBorder(plain ? 0 : 0.5);
        tf.setBorderStyle(plain ? QTextFrameFormat::BorderStyle_None : QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderCollapse(true);
        tf.setCellPadding(3);
        tf.setCellSpacing(0);
        tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tf.setHeaderRowCount(headerRows);
        QList<QTextLength> widths;
        int total = 0;
        for (int c = 0; c < cols; ++c)
            total += c < weights.size() ? weights[c] : 1;
        for (int c = 0; c < cols; ++c)
            widths.append(QTextLength(QTextLength::PercentageLength,
                                      100.0 * (c < weights.size() ? weights[c] : 1) / total));
        tf.setColumnWidthConstraints(widths);
        QTextTable* t = m_cursor.insertTable(int(rows.size()), cols, tf);
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < cols; ++c) {
                QTextTableCell cell = t->cellAt(r, c);
                QTextCursor cc = cell.firstCursorPosition();
                QTextBlockFormat cbf;
                cbf.setAlignment(toQt(c < aligns.size() ? aligns[c] : Align::Default, Qt::AlignLeft));
                QTextCharFormat ccf = baseChar();
                if (r < headerRows) {
                    ccf.setFontWeight(QFont::Bold);
                    if (!plain) {
                        QTextTableCellFormat shade;
                        shade.setBackground(QColor(0xE6, 0xE6, 0xE6));
                        cell.setFormat(shade);
                    }
                    if (c >= aligns.size() || aligns[c] == Align::Default)
                        cbf.setAlignment(Qt::AlignHCenter);
                }
                cc.setBlockFormat(cbf);
                const QString text = c < rows[r].size() ? rows[r][c] : QString();
                QTextCursor saved = m_cursor;
                m_cursor = cc;
                inlineText(QString(text).replace(QStringLiteral("<br>"), QString(QChar::LineSeparator)), ccf);
                m_cursor = saved;
            }
        }
        m_cursor = t->lastCursorPosition();
        m_cursor.movePosition(QTextCursor::NextBlock);
        m_afterTable = true;
    }

    void pageBreak() { m_pageBreak = true; }

    QTextCharFormat baseChar() const
    {
        QTextCharFormat cf;
        cf.setFontFamilies({kFontFamily});
        cf.setFontPointSize(m_basePt);
        return cf;
    }

private:
    void startBlock(QTextBlockFormat bf, const QTextCharFormat& cf)
    {
        if (m_pageBreak) {
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            m_pageBreak = false;
        }
        if (m_first || m_afterTable) {
            // The empty block that follows a table (or starts the document) takes the paragraph.
            m_cursor.setBlockFormat(bf);
            m_cursor.setBlockCharFormat(cf);
        } else {
            m_cursor.insertBlock(bf, cf);
        }
        m_first = false;
        m_afterTable = false;
    }

    // **bold**, *italic*, ++underline++, [KEY] merge fields, \x escapes.
    void inlineText(const QString& text, QTextCharFormat cf)
    {
        QString run;
        auto flush = [&] {
            if (!run.isEmpty())
                m_cursor.insertText(run, cf);
            run.clear();
        };
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar ch = text[i];
            if (ch == QLatin1Char('\\') && i + 1 < text.size()) {
                run += text[++i];
                continue;
            }
            if (text.mid(i, 2) == QLatin1String("**")) {
                flush();
                cf.setFontWeight(cf.fontWeight() == QFont::Bold ? QFont::Normal : QFont::Bold);
                ++i;
                continue;
            }
            if (text.mid(i, 2) == QLatin1String("++")) {
                flush();
                cf.setFontUnderline(!cf.fontUnderline());
                ++i;
                continue;
            }
            if (ch == QLatin1Char('*')) {
                flush();
                cf.setFontItalic(!cf.fontItalic());
                continue;
            }
            if (ch == QLatin1Char('[')) {
                const qsizetype close = text.indexOf(QLatin1Char(']'), i);
                const QString key = close > i ? text.mid(i + 1, close - i - 1) : QString();
                if (mergeFieldKeys().contains(key)) {
                    flush();
                    QTextCharFormat ff = cf;
                    ff.setProperty(doc::FieldId, (*m_nextFieldId)++);
                    ff.setProperty(doc::FieldData, key);
                    ff.setProperty(doc::FieldKind, kMergeFieldKind);
                    ff.setProperty(doc::FieldChangeable, false);
                    ff.setProperty(doc::FieldDeletable, false);
                    m_cursor.insertText(QLatin1Char('[') + key + QLatin1Char(']'), ff);
                    i = close;
                    continue;
                }
            }
            run += ch;
        }
        flush();
    }

    QTextDocument* m_doc;
    QTextCursor m_cursor;
    int* m_nextFieldId;
    double m_basePt;
    QString m_file;
    bool m_first = true;
    bool m_afterTable = false;
    bool m_pageBreak = false;
};

bool startsNumberedItem(const QString& line)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2}[.)]|[a-z]\\)) "));
    return re.match(line).hasMatch();
}

QStringList splitRow(const QString& line)
{
    // "|a|b\|c|" -> ["a", "b\|c"]; the escape stays for the inline pass.
    QStringList cells;
    QString cur;
    QString t = line.trimmed();
    if (t.startsWith(QLatin1Char('|')))
        t.remove(0, 1);
    if (t.endsWith(QLatin1Char('|')) && !t.endsWith(QLatin1String("\\|")))
        t.chop(1);
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == QLatin1Char('\\') && i + 1 < t.size()) {
            cur += t[i];
            cur += t[++i];
        } else if (t[i] == QLatin1Char('|')) {
            cells.append(cur.trimmed());
            cur.clear();
        } else {
            cur += t[i];
        }
    }
    cells.append(cur.trimmed());
    return cells;
}

// "|---|:--:|" or, for a table without lines or shading (signature blocks), "|===|:==:|".
bool isSeparatorRow(const QStringList& cells, QChar dash)
{
    for (const QString& c : cells) {
        QString s = c;
        s.remove(QLatin1Char(':'));
        if (s.isEmpty() || s.count(dash) != s.size())
            return false;
    }
    return true;
}

} // namespace

void markupToDocument(const QString& markup, doc::TxDocument& doc, const QString& file)
{
    int nextFieldId = 1;
    Writer body(doc.body(), &nextFieldId, kBodyPt, file);
    Writer footer(doc.footer(), &nextFieldId, kFooterPt, file);
    Writer* w = &body;
    bool inFooter = false;

    const QStringList lines = markup.split(QLatin1Char('\n'));
    QString para;
    Align align = Align::Default;
    bool bullet = false;
    bool indented = false;
    bool numbered = false;  // "1. ", "2) ", "a) ": a new paragraph with a hanging indent

    auto flushPara = [&] {
        if (para.isEmpty() && !bullet && !indented && !numbered)
            return;
        QTextBlockFormat bf;
        bf.setBottomMargin(inFooter ? 0 : 5);
        bf.setAlignment(toQt(align, inFooter ? Qt::AlignHCenter : Qt::AlignJustify));
        QString text = para;
        if (numbered) {
            bf.setLeftMargin(18);
            bf.setTextIndent(-18);
        }
        if (bullet || indented) {
            // Items are short and full of dotted blanks: justifying them
            // would stretch the few words apart.
            if (align == Align::Default)
                bf.setAlignment(Qt::AlignLeft);
            bf.setLeftMargin(22);
            bf.setTextIndent(-12);
            if (bullet)
                text = QStringLiteral("– ") + text;
        }
        w->paragraph(text, bf, w->baseChar());
        para.clear();
        align = Align::Default;
        bullet = indented = numbered = false;
    };

    for (int i = 0; i < lines.size(); ++i) {
        const QString raw = lines[i];
        const QString t = raw.trimmed();
        if (t.isEmpty()) {
            flushPara();
            continue;
        }
        if (t == QLatin1String("---footer---")) {
            flushPara();
            if (inFooter)
                throw Error(QStringLiteral("%1:%2: piè di pagina ripetuto").arg(file).arg(i + 1));
            inFooter = true;
            w = &footer;
            continue;
        }
        if (t == QLatin1String("---pagina---")) {
            flushPara();
            w->pageBreak();
            continue;
        }
        if (t.startsWith(QLatin1Char('#'))) {
            flushPara();
            int level = 0;
            while (level < t.size() && t[level] == QLatin1Char('#'))
                ++level;
            if (level > 3 || level >= t.size() || t[level] != QLatin1Char(' '))
                throw Error(QStringLiteral("%1:%2: titolo non valido").arg(file).arg(i + 1));
            QTextBlockFormat bf;
            bf.setTopMargin(level == 3 ? 6 : 10);
            bf.setBottomMargin(6);
            bf.setAlignment(level == 3 ? Qt::AlignLeft : Qt::AlignHCenter);
            bf.setHeadingLevel(level);
            bf.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
            QTextCharFormat cf = w->baseChar();
            cf.setFontWeight(QFont::Bold);
            cf.setFontPointSize(level == 1 ? 14 : level == 2 ? 12 : 11);
            w->paragraph(t.mid(level + 1).trimmed(), bf, cf);
            continue;
        }
        if (t.startsWith(QLatin1Char('|'))) {
            flushPara();
            const int firstLine = i + 1;
            QList<QStringList> rows;
            int headerRows = 0;
            QList<Align> aligns;
            QList<int> weights;
            bool plain = false;
            while (i < lines.size() && lines[i].trimmed().startsWith(QLatin1Char('|'))) {
                const QStringList cells = splitRow(lines[i]);
                const bool plainSeparator = isSeparatorRow(cells, QLatin1Char('='));
                if ((plainSeparator || isSeparatorRow(cells, QLatin1Char('-'))) && headerRows == 0 && !rows.isEmpty()) {
                    headerRows = int(rows.size());
                    plain = plainSeparator;
                    for (const QString& c : cells) {
                        const bool l = c.startsWith(QLatin1Char(':'));
                        const bool r = c.endsWith(QLatin1Char(':'));
                        aligns.append(l && r ? Align::Center : r ? Align::Right : l ? Align::Left : Align::Default);
                        weights.append(std::max<int>(3, int(c.count(plain ? QLatin1Char('=') : QLatin1Char('-')))));
                    }
                } else {
                    rows.append(cells);
                }
                ++i;
            }
            --i;
            if (headerRows > 0 && aligns.size() != rows.first().size())
                throw Error(QStringLiteral("%1:%2: la riga di separazione non ha tante colonne quante l'intestazione")
                                .arg(file).arg(firstLine));
            for (const QStringList& r : rows)
                if (!aligns.isEmpty() && r.size() > aligns.size())
                    throw Error(QStringLiteral("%1:%2: riga di tabella con troppe colonne").arg(file).arg(firstLine));
            w->table(rows, headerRows, aligns, weights, firstLine, plain);
            continue;
        }
        QString line = t;
        if (para.isEmpty() && !bullet && !indented && !numbered) {
            if (startsNumberedItem(line)) {
                numbered = true;
            } else if (line.startsWith(QLatin1String("- "))) {
                bullet = true;
                line = line.mid(2).trimmed();
            } else if (line.startsWith(QLatin1String("+ "))) {
                indented = true;
                line = line.mid(2).trimmed();
            }
            const QString p = line.left(3);
            if (p == QLatin1String(">> ") || line == QLatin1String(">>"))
                align = Align::Right;
            else if (p == QLatin1String("^^ ") || line == QLatin1String("^^"))
                align = Align::Center;
            else if (p == QLatin1String("<< ") || line == QLatin1String("<<"))
                align = Align::Left;
            if (align != Align::Default)
                line = line.mid(3);
        } else if (line.startsWith(QLatin1String("- ")) || line.startsWith(QLatin1String("+ "))
                   || ((bullet || indented || numbered) && !raw.front().isSpace())
                   || startsNumberedItem(line)) {
            // A new list item ends the previous one, and so does an unindented
            // line: only indented lines continue an item.
            flushPara();
            --i;
            continue;
        }
        const bool hardBreak = line.endsWith(QLatin1Char('\\')) && !line.endsWith(QLatin1String("\\\\"));
        if (hardBreak)
            line = line.left(line.size() - 1).trimmed();
        if (!para.isEmpty() && !para.endsWith(QChar::LineSeparator))
            para += QLatin1Char(' ');
        para += line;
        if (hardBreak)
            para += QChar::LineSeparator;
    }
    flushPara();
}

} // namespace orv::library
