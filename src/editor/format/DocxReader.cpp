// .docx reader: paragraphs, runs with direct formatting, tables with spans,
// inline pictures, the default footer, our fields from bookmarks and content
// controls. Styles are not applied. Every size and depth is capped.
#include "editor/format/FieldNames.h"
#include "editor/format/Formats.h"
#include "editor/format/Zip.h"

#include "platform/Error.h"

#include <QBuffer>
#include <QImageReader>
#include <QTextLength>
#include <QXmlStreamReader>
#include <algorithm>
#include <map>

namespace orv::doc::detail {

namespace {

constexpr int kMaxElementDepth = 256;

QString damaged()
{
    return QStringLiteral("Il file Word è danneggiato o non è un documento .docx");
}

int toInt(QStringView s, int lo, int hi)
{
    bool ok = false;
    const qint64 v = s.toLongLong(&ok);
    return ok ? int(std::clamp<qint64>(v, lo, hi)) : 0;
}

QColor hexColor(QStringView s)
{
    if (s.size() != 6)
        return {};
    return QColor(QLatin1Char('#') + s.toString());
}

bool isOn(const QXmlStreamAttributes& a)
{
    const QStringView v = a.value(QLatin1String("w:val"));
    return v.isEmpty() || !(v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("off")
                            || v == QLatin1String("none"));
}

struct Rels {
    std::map<QString, QString> targets; // id -> path inside the package
};

Rels readRels(const ZipReader& zip, const QString& part)
{
    Rels rels;
    const int slash = int(part.lastIndexOf(QLatin1Char('/')));
    const QString dir = part.left(slash + 1);
    const QString relsPath = dir + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
    if (!zip.has(relsPath))
        return rels;
    QXmlStreamReader x(zip.read(relsPath, 4 * 1024 * 1024));
    while (!x.atEnd()) {
        if (x.readNext() == QXmlStreamReader::StartElement && x.name() == QLatin1String("Relationship")) {
            const QString target = x.attributes().value(QLatin1String("Target")).toString();
            QString path = target.startsWith(QLatin1Char('/')) ? target.mid(1) : dir + target;
            rels.targets[x.attributes().value(QLatin1String("Id")).toString()] = path;
        }
    }
    return rels;
}

struct RunProps {
    QTextCharFormat format;
};

class PartReader {
public:
    PartReader(const ZipReader& zip, const QString& part, Story& story, int& pictureCount, int& nextFallbackId)
        : m_zip(zip), m_rels(readRels(zip, part)), m_story(story), m_pictureCount(pictureCount),
          m_nextFallbackId(nextFallbackId), m_x(zip.read(part))
    {
    }

    PageSetup page{0, 0, 0, 0, 0, 0};
    QString footerId;

    // Reads the part's body (w:body or w:ftr) into the story.
    void run()
    {
        while (!m_x.atEnd()) {
            m_x.readNext();
            if (m_x.isStartElement() && (m_x.qualifiedName() == QLatin1String("w:body")
                                         || m_x.qualifiedName() == QLatin1String("w:ftr"))) {
                blockContent(m_story.flow, 0);
                break;
            }
        }
        if (m_x.hasError() && m_x.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            throw Error(damaged());
        if (m_x.hasError())
            throw Error(damaged());
        if (m_story.flow.items.empty() || m_story.flow.items.back().table)
            m_story.flow.addPara();
    }

private:
    const ZipReader& m_zip;
    Rels m_rels;
    Story& m_story;
    int& m_pictureCount;
    int& m_nextFallbackId;
    QXmlStreamReader m_x;
    std::optional<FieldAttrs> m_field;   // the field whose bookmark or control is open
    QString m_fieldBookmarkId;
    int m_depth = 0;

    bool is(const char* name) const { return m_x.qualifiedName() == QLatin1String(name); }

    void skip()
    {
        m_x.skipCurrentElement();
    }

    // Children of a block container (body, footer, cell, block-level sdt)
    // until its end element.
    void blockContent(Flow& flow, int tableDepth)
    {
        if (++m_depth > kMaxElementDepth)
            throw Error(damaged());
        while (m_x.readNextStartElement()) {
            if (is("w:p")) {
                paragraph(flow);
            } else if (is("w:tbl")) {
                if (tableDepth >= kMaxTableDepth)
                    skip();
                else
                    table(flow, tableDepth + 1);
            } else if (is("w:sdt")) {
                blockSdt(flow, tableDepth);
            } else if (is("w:sectPr")) {
                sectPr();
            } else if (is("w:customXml") || is("w:ins") || is("w:smartTag")) {
                blockContent(flow, tableDepth);
            } else {
                skip();
            }
        }
        --m_depth;
    }

    void blockSdt(Flow& flow, int tableDepth)
    {
        while (m_x.readNextStartElement()) {
            if (is("w:sdtContent"))
                blockContent(flow, tableDepth);
            else
                skip();
        }
    }

    void sectPr()
    {
        while (m_x.readNextStartElement()) {
            const QXmlStreamAttributes a = m_x.attributes();
            if (is("w:pgSz")) {
                page.width = toInt(a.value(QLatin1String("w:w")), 0, 200000);
                page.height = toInt(a.value(QLatin1String("w:h")), 0, 200000);
            } else if (is("w:pgMar")) {
                page.marginLeft = toInt(a.value(QLatin1String("w:left")), 0, 200000);
                page.marginRight = toInt(a.value(QLatin1String("w:right")), 0, 200000);
                page.marginTop = toInt(a.value(QLatin1String("w:top")), 0, 200000);
                page.marginBottom = toInt(a.value(QLatin1String("w:bottom")), 0, 200000);
            } else if (is("w:footerReference")) {
                const QStringView type = a.value(QLatin1String("w:type"));
                if (footerId.isEmpty() || type == QLatin1String("default"))
                    footerId = a.value(QLatin1String("r:id")).toString();
            }
            skip();
        }
    }

    void paragraph(Flow& flow)
    {
        Para& p = flow.addPara();
        while (m_x.readNextStartElement()) {
            if (is("w:pPr"))
                paraProps(p.blockFormat);
            else
                inline_(p, 0);
        }
    }

    // Inline content of a paragraph.
    void inline_(Para& p, int depth)
    {
        if (depth > 32) {
            skip();
            return;
        }
        if (is("w:r")) {
            runElement(p);
        } else if (is("w:hyperlink") || is("w:ins") || is("w:smartTag") || is("w:customXml") || is("w:fldSimple")) {
            std::optional<FieldAttrs> saved = m_field;
            if (is("w:fldSimple") && !m_field)
                m_field = fallbackField(m_x.attributes().value(QLatin1String("w:instr")).toString());
            while (m_x.readNextStartElement())
                inline_(p, depth + 1);
            if (!saved && m_field && m_fieldBookmarkId.isEmpty())
                m_field = saved;
        } else if (is("w:sdt")) {
            inlineSdt(p, depth);
        } else if (is("w:bookmarkStart")) {
            const QXmlStreamAttributes a = m_x.attributes();
            if (auto f = parseFieldBookmarkName(a.value(QLatin1String("w:name")).toString())) {
                m_field = f;
                m_fieldBookmarkId = a.value(QLatin1String("w:id")).toString();
            }
            skip();
        } else if (is("w:bookmarkEnd")) {
            if (!m_fieldBookmarkId.isEmpty() && m_x.attributes().value(QLatin1String("w:id")) == m_fieldBookmarkId) {
                m_field.reset();
                m_fieldBookmarkId.clear();
            }
            skip();
        } else {
            skip();
        }
    }

    void inlineSdt(Para& p, int depth)
    {
        std::optional<FieldAttrs> control;
        const bool hadField = m_field.has_value();
        while (m_x.readNextStartElement()) {
            if (is("w:sdtPr")) {
                QString tag, alias;
                while (m_x.readNextStartElement()) {
                    if (is("w:tag"))
                        tag = m_x.attributes().value(QLatin1String("w:val")).toString();
                    else if (is("w:alias"))
                        alias = m_x.attributes().value(QLatin1String("w:val")).toString();
                    skip();
                }
                control = parseFieldBookmarkName(tag);
                if (control && !hadField)
                    m_field = control;
            } else if (is("w:sdtContent")) {
                while (m_x.readNextStartElement())
                    inline_(p, depth + 1);
            } else {
                skip();
            }
        }
        if (control && !hadField)
            m_field.reset();
    }

    std::optional<FieldAttrs> fallbackField(const QString& instruction)
    {
        const QStringList words = instruction.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 2 && words[0].compare(QLatin1String("MERGEFIELD"), Qt::CaseInsensitive) == 0) {
            FieldAttrs f;
            f.id = m_nextFallbackId++;
            f.data = words[1];
            f.kind = 16;
            return f;
        }
        return std::nullopt;
    }

    void appendRun(Para& p, const QString& text, const QTextCharFormat& f)
    {
        if (text.isEmpty())
            return;
        if (!p.runs.empty() && p.runs.back().format == f && !f.isImageFormat())
            p.runs.back().text += text;
        else
            p.runs.push_back({f, text});
    }

    void runElement(Para& p)
    {
        QTextCharFormat f;
        while (m_x.readNextStartElement()) {
            if (is("w:rPr")) {
                runProps(f);
                continue;
            }
            QTextCharFormat withField = f;
            if (m_field) {
                withField.setProperty(FieldId, m_field->id);
                withField.setProperty(FieldData, m_field->data);
                withField.setProperty(FieldKind, m_field->kind);
                withField.setProperty(FieldChangeable, m_field->changeable);
                withField.setProperty(FieldDeletable, m_field->deletable);
            }
            if (is("w:t")) {
                appendRun(p, cleanRunText(m_x.readElementText(QXmlStreamReader::SkipChildElements)), withField);
            } else if (is("w:tab")) {
                appendRun(p, QStringLiteral("\t"), withField);
                skip();
            } else if (is("w:br") || is("w:cr")) {
                appendRun(p, QString(QChar::LineSeparator), withField);
                skip();
            } else if (is("w:drawing")) {
                drawing(p);
            } else {
                skip();
            }
        }
    }

    void runProps(QTextCharFormat& f)
    {
        while (m_x.readNextStartElement()) {
            const QXmlStreamAttributes a = m_x.attributes();
            if (is("w:b")) {
                if (isOn(a))
                    f.setFontWeight(QFont::Bold);
            } else if (is("w:i")) {
                if (isOn(a))
                    f.setFontItalic(true);
            } else if (is("w:u")) {
                if (isOn(a))
                    f.setFontUnderline(true);
            } else if (is("w:strike") || is("w:dstrike")) {
                if (isOn(a))
                    f.setFontStrikeOut(true);
            } else if (is("w:sz")) {
                const int half = toInt(a.value(QLatin1String("w:val")), 0, 3276);
                if (half > 0)
                    f.setFontPointSize(half / 2.0);
            } else if (is("w:rFonts")) {
                QString fam = a.value(QLatin1String("w:ascii")).toString();
                if (fam.isEmpty())
                    fam = a.value(QLatin1String("w:hAnsi")).toString();
                if (!fam.isEmpty())
                    f.setFontFamilies({fam});
            } else if (is("w:color")) {
                const QColor c = hexColor(a.value(QLatin1String("w:val")));
                if (c.isValid())
                    f.setForeground(c);
            } else if (is("w:shd")) {
                const QColor c = hexColor(a.value(QLatin1String("w:fill")));
                if (c.isValid())
                    f.setBackground(c);
            } else if (is("w:highlight")) {
                const QColor c(a.value(QLatin1String("w:val")).toString());
                if (c.isValid())
                    f.setBackground(c);
            } else if (is("w:vertAlign")) {
                const QStringView v = a.value(QLatin1String("w:val"));
                if (v == QLatin1String("superscript"))
                    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
                else if (v == QLatin1String("subscript"))
                    f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
            }
            skip();
        }
    }

    void paraProps(QTextBlockFormat& b)
    {
        while (m_x.readNextStartElement()) {
            const QXmlStreamAttributes a = m_x.attributes();
            if (is("w:jc")) {
                const QStringView v = a.value(QLatin1String("w:val"));
                if (v == QLatin1String("center"))
                    b.setAlignment(Qt::AlignHCenter);
                else if (v == QLatin1String("right") || v == QLatin1String("end"))
                    b.setAlignment(Qt::AlignRight);
                else if (v == QLatin1String("both") || v == QLatin1String("distribute"))
                    b.setAlignment(Qt::AlignJustify);
                skip();
            } else if (is("w:ind")) {
                auto val = [&](const char* n1, const char* n2) {
                    QStringView v = a.value(QLatin1String(n1));
                    if (v.isEmpty())
                        v = a.value(QLatin1String(n2));
                    return toInt(v, -200000, 200000);
                };
                if (const int l = val("w:left", "w:start"))
                    b.setLeftMargin(l / 20.0);
                if (const int r = val("w:right", "w:end"))
                    b.setRightMargin(r / 20.0);
                if (const int h = toInt(a.value(QLatin1String("w:hanging")), 0, 200000))
                    b.setTextIndent(-h / 20.0);
                else if (const int fl = toInt(a.value(QLatin1String("w:firstLine")), 0, 200000))
                    b.setTextIndent(fl / 20.0);
                skip();
            } else if (is("w:spacing")) {
                if (const int v = toInt(a.value(QLatin1String("w:before")), 0, 200000))
                    b.setTopMargin(v / 20.0);
                if (const int v = toInt(a.value(QLatin1String("w:after")), 0, 200000))
                    b.setBottomMargin(v / 20.0);
                const int line = toInt(a.value(QLatin1String("w:line")), 0, 200000);
                const QStringView rule = a.value(QLatin1String("w:lineRule"));
                if (line > 0) {
                    if (rule == QLatin1String("exact"))
                        b.setLineHeight(line / 20.0, QTextBlockFormat::FixedHeight);
                    else if (rule == QLatin1String("atLeast"))
                        b.setLineHeight(line / 20.0, QTextBlockFormat::MinimumHeight);
                    else
                        b.setLineHeight(line / 2.4, QTextBlockFormat::ProportionalHeight);
                }
                skip();
            } else if (is("w:pageBreakBefore")) {
                if (isOn(a))
                    b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                skip();
            } else if (is("w:tabs")) {
                QList<QTextOption::Tab> tabs;
                while (m_x.readNextStartElement()) {
                    if (is("w:tab") && tabs.size() < 64) {
                        const QXmlStreamAttributes ta = m_x.attributes();
                        const QStringView v = ta.value(QLatin1String("w:val"));
                        QTextOption::Tab t(toInt(ta.value(QLatin1String("w:pos")), 0, 200000) / 20.0, QTextOption::LeftTab);
                        if (v == QLatin1String("right") || v == QLatin1String("end"))
                            t.type = QTextOption::RightTab;
                        else if (v == QLatin1String("center"))
                            t.type = QTextOption::CenterTab;
                        else if (v == QLatin1String("decimal"))
                            t.type = QTextOption::DelimiterTab, t.delimiter = QLatin1Char(',');
                        if (v != QLatin1String("clear"))
                            tabs.append(t);
                    }
                    skip();
                }
                if (!tabs.isEmpty())
                    b.setTabPositions(tabs);
            } else {
                skip();
            }
        }
    }

    void drawing(Para& p)
    {
        QString embed;
        qint64 cx = 0, cy = 0;
        int depth = 1;
        while (depth > 0 && !m_x.atEnd()) {
            m_x.readNext();
            if (m_x.isStartElement()) {
                ++depth;
                if (is("wp:extent")) {
                    cx = m_x.attributes().value(QLatin1String("cx")).toLongLong();
                    cy = m_x.attributes().value(QLatin1String("cy")).toLongLong();
                } else if (is("a:blip")) {
                    embed = m_x.attributes().value(QLatin1String("r:embed")).toString();
                }
            } else if (m_x.isEndElement()) {
                --depth;
            }
        }
        auto it = m_rels.targets.find(embed);
        if (it == m_rels.targets.end() || !m_zip.has(it->second))
            return;
        QByteArray bytes = m_zip.read(it->second);
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        QImageReader reader(&buf);
        const QByteArray kind = reader.format();
        const QSize px = reader.size();
        if ((kind != "png" && kind != "jpeg") || !px.isValid() || px.width() > 20000 || px.height() > 20000)
            return;
        Picture pic;
        pic.name = QStringLiteral("docx-image-%1.%2").arg(++m_pictureCount).arg(kind == "png" ? "png" : "jpg");
        pic.bytes = bytes;
        m_story.pictures.push_back(pic);
        QTextImageFormat f;
        f.setName(pic.name);
        f.setWidth(cx > 0 ? std::clamp(cx / 12700.0, 1.0, 5000.0) : px.width());
        f.setHeight(cy > 0 ? std::clamp(cy / 12700.0, 1.0, 5000.0) : px.height());
        appendRun(p, QString(QChar::ObjectReplacementCharacter), f);
    }

    struct RawCell {
        int gridSpan = 1;
        int vMerge = 0; // 0 none, 1 restart, 2 continue
        QColor fill;
        int valign = 0;
        std::unique_ptr<Flow> content;
    };

    void table(Flow& flow, int tableDepth)
    {
        Table t;
        t.format.setBorder(0);
        t.format.setCellSpacing(0);
        t.format.setCellPadding(2);
        QList<QTextLength> widths;
        std::vector<std::vector<RawCell>> rows;
        bool borders = false;
        while (m_x.readNextStartElement()) {
            if (is("w:tblGrid")) {
                while (m_x.readNextStartElement()) {
                    if (is("w:gridCol") && widths.size() < kMaxTableColumns)
                        widths.append(QTextLength(QTextLength::FixedLength,
                                                  toInt(m_x.attributes().value(QLatin1String("w:w")), 0, 200000) / 20.0));
                    skip();
                }
            } else if (is("w:tblPr")) {
                while (m_x.readNextStartElement()) {
                    if (is("w:tblBorders")) {
                        while (m_x.readNextStartElement()) {
                            const QStringView v = m_x.attributes().value(QLatin1String("w:val"));
                            if (!v.isEmpty() && v != QLatin1String("none") && v != QLatin1String("nil"))
                                borders = true;
                            skip();
                        }
                    } else {
                        skip();
                    }
                }
            } else if (is("w:tr")) {
                std::vector<RawCell> row;
                while (m_x.readNextStartElement()) {
                    if (is("w:tc") && row.size() < size_t(kMaxTableColumns))
                        row.push_back(cell(tableDepth));
                    else
                        skip();
                }
                if (rows.size() < 32767)
                    rows.push_back(std::move(row));
            } else {
                skip();
            }
        }
        int cols = int(widths.size());
        for (const auto& row : rows) {
            int n = 0;
            for (const RawCell& c : row)
                n += c.gridSpan;
            cols = std::max(cols, n);
        }
        cols = std::min(cols, kMaxTableColumns);
        if (rows.empty() || cols < 1)
            return;
        int nrows = int(rows.size());
        if (qint64(nrows) * cols > kMaxTableCells)
            nrows = int(kMaxTableCells / cols);
        t.rows = nrows;
        t.cols = cols;
        if (!widths.isEmpty())
            t.format.setColumnWidthConstraints(widths);
        if (borders) {
            t.format.setBorder(1);
            t.format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            t.format.setBorderBrush(Qt::black);
            t.format.setBorderCollapse(true);
        }
        std::vector<int> owner(size_t(cols), -1); // cell index at each column in the previous row
        for (int r = 0; r < nrows; ++r) {
            std::vector<int> here(size_t(cols), -1);
            int col = 0;
            for (RawCell& rc : rows[size_t(r)]) {
                if (col >= cols)
                    break;
                const int span = std::clamp(rc.gridSpan, 1, cols - col);
                const int up = owner[size_t(col)];
                if (rc.vMerge == 2 && up >= 0) {
                    Cell& c = t.cells[size_t(up)];
                    if (c.col == col && c.colSpan == span && c.row + c.rowSpan == r) {
                        ++c.rowSpan;
                        for (int k = col; k < col + span; ++k)
                            here[size_t(k)] = up;
                        col += span;
                        continue;
                    }
                }
                Cell c;
                c.row = r;
                c.col = col;
                c.colSpan = span;
                QTextTableCellFormat cf;
                if (rc.fill.isValid())
                    cf.setBackground(rc.fill);
                if (rc.valign == 1)
                    cf.setVerticalAlignment(QTextCharFormat::AlignMiddle);
                else if (rc.valign == 2)
                    cf.setVerticalAlignment(QTextCharFormat::AlignBottom);
                c.format = cf;
                c.content = std::move(rc.content);
                if (!c.content)
                    c.content = std::make_unique<Flow>();
                if (c.content->items.empty() || c.content->items.front().table)
                    c.content->items.insert(c.content->items.begin(), Item{std::make_unique<Para>(), nullptr});
                if (c.content->items.back().table)
                    c.content->addPara();
                t.cells.push_back(std::move(c));
                for (int k = col; k < col + span; ++k)
                    here[size_t(k)] = int(t.cells.size() - 1);
                col += span;
            }
            owner = here;
        }
        if (flow.items.empty() || flow.items.back().table)
            flow.addPara();
        Item it;
        it.table = std::make_unique<Table>(std::move(t));
        flow.items.push_back(std::move(it));
    }

    RawCell cell(int tableDepth)
    {
        RawCell rc;
        rc.content = std::make_unique<Flow>();
        while (m_x.readNextStartElement()) {
            if (is("w:tcPr")) {
                while (m_x.readNextStartElement()) {
                    const QXmlStreamAttributes a = m_x.attributes();
                    if (is("w:gridSpan"))
                        rc.gridSpan = toInt(a.value(QLatin1String("w:val")), 1, kMaxTableColumns);
                    else if (is("w:vMerge"))
                        rc.vMerge = a.value(QLatin1String("w:val")) == QLatin1String("restart") ? 1 : 2;
                    else if (is("w:shd"))
                        rc.fill = hexColor(a.value(QLatin1String("w:fill")));
                    else if (is("w:vAlign")) {
                        const QStringView v = a.value(QLatin1String("w:val"));
                        rc.valign = v == QLatin1String("center") ? 1 : v == QLatin1String("bottom") ? 2 : 0;
                    }
                    skip();
                }
            } else if (is("w:p")) {
                paragraph(*rc.content);
            } else if (is("w:tbl")) {
                if (tableDepth >= kMaxTableDepth)
                    skip();
                else
                    table(*rc.content, tableDepth + 1);
            } else if (is("w:sdt")) {
                blockSdt(*rc.content, tableDepth);
            } else {
                skip();
            }
        }
        return rc;
    }
};

// Two tables in a row need a paragraph between them in QTextDocument.
void normalise(Flow& f)
{
    std::vector<Item> out;
    for (Item& it : f.items) {
        if (it.table) {
            if (out.empty() || out.back().table)
                out.push_back(Item{std::make_unique<Para>(), nullptr});
            for (Cell& c : it.table->cells)
                if (c.content)
                    normalise(*c.content);
        }
        out.push_back(std::move(it));
    }
    if (out.empty() || out.back().table)
        out.push_back(Item{std::make_unique<Para>(), nullptr});
    f.items = std::move(out);
}

} // namespace

ReadResult readDocx(const QByteArray& data)
{
    const ZipReader zip(data);
    if (!zip.has(QStringLiteral("word/document.xml")))
        throw Error(damaged());
    ReadResult r;
    int pictures = 0, nextFallbackId = 1000000;
    PartReader body(zip, QStringLiteral("word/document.xml"), r.content.body, pictures, nextFallbackId);
    body.run();
    r.page = body.page;
    const Rels rels = readRels(zip, QStringLiteral("word/document.xml"));
    auto footer = rels.targets.find(body.footerId);
    if (footer != rels.targets.end() && zip.has(footer->second)) {
        PartReader f(zip, footer->second, r.content.footer, pictures, nextFallbackId);
        f.run();
    } else {
        r.content.footer.flow.addPara();
    }
    normalise(r.content.body.flow);
    normalise(r.content.footer.flow);
    validate(r.content.body.flow);
    validate(r.content.footer.flow);
    return r;
}

} // namespace orv::doc::detail
