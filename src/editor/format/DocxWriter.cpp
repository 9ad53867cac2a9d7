// Word 2007 WordprocessingML writer. Model lengths are points: 20 twips,
// 12700 EMU.
#include "editor/format/FieldNames.h"
#include "editor/format/Formats.h"
#include "editor/format/Zip.h"

#include <QBuffer>
#include <QImageReader>
#include <QTextLength>
#include <QXmlStreamWriter>
#include <cmath>

namespace orv::doc::detail {

namespace {

const char* const kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char* const kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const kImageRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";

QString num(qint64 v)
{
    return QString::number(v);
}

int twips(double points)
{
    return int(std::lround(points * 20));
}

QString hexColor(const QColor& c)
{
    return QStringLiteral("%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString familyOf(const QTextCharFormat& f)
{
    const QStringList families = f.property(QTextFormat::FontFamilies).toStringList();
    if (!families.isEmpty() && !families.front().isEmpty())
        return families.front();
    return f.stringProperty(QTextFormat::FontFamily);
}

// One XML part (document or footer) with its relationships.
class PartWriter {
public:
    PartWriter(const Story& story, const PageSetup& page, std::vector<std::pair<QString, QByteArray>>& media,
               int& bookmarkId, int& drawingId)
        : m_story(story), m_page(page), m_media(media), m_bookmarkId(bookmarkId), m_drawingId(drawingId)
    {
        m_x.setAutoFormatting(false);
    }

    QByteArray document(const QString& footerRel)
    {
        start("w:document");
        m_x.writeStartElement("w:body");
        flow(m_story.flow);
        m_x.writeStartElement("w:sectPr");
        if (!footerRel.isEmpty()) {
            m_x.writeEmptyElement("w:footerReference");
            m_x.writeAttribute("w:type", "default");
            m_x.writeAttribute("r:id", footerRel);
        }
        m_x.writeEmptyElement("w:pgSz");
        m_x.writeAttribute("w:w", num(m_page.width));
        m_x.writeAttribute("w:h", num(m_page.height));
        m_x.writeEmptyElement("w:pgMar");
        m_x.writeAttribute("w:top", num(m_page.marginTop));
        m_x.writeAttribute("w:right", num(m_page.marginRight));
        m_x.writeAttribute("w:bottom", num(m_page.marginBottom));
        m_x.writeAttribute("w:left", num(m_page.marginLeft));
        m_x.writeAttribute("w:header", "708");
        m_x.writeAttribute("w:footer", "708");
        m_x.writeAttribute("w:gutter", "0");
        m_x.writeEndElement();
        m_x.writeEndElement();
        return finish();
    }

    QByteArray footer()
    {
        start("w:ftr");
        flow(m_story.flow);
        return finish();
    }

    // Relationships of the part: pictures only.
    QByteArray rels(const QString& extra = {}) const
    {
        QByteArray out;
        QXmlStreamWriter x(&out);
        x.writeStartDocument(QStringLiteral("1.0"), true);
        x.writeStartElement("Relationships");
        x.writeDefaultNamespace("http://schemas.openxmlformats.org/package/2006/relationships");
        for (const auto& [id, target] : m_rels) {
            x.writeEmptyElement("Relationship");
            x.writeAttribute("Id", id);
            x.writeAttribute("Type", kImageRel);
            x.writeAttribute("Target", target);
        }
        if (!extra.isEmpty()) {
            x.writeEmptyElement("Relationship");
            x.writeAttribute("Id", "rIdFooter1");
            x.writeAttribute("Type", "http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer");
            x.writeAttribute("Target", extra);
        }
        x.writeEndElement();
        x.writeEndDocument();
        return out;
    }

private:
    const Story& m_story;
    PageSetup m_page;
    std::vector<std::pair<QString, QByteArray>>& m_media;
    int& m_bookmarkId;
    int& m_drawingId;
    QByteArray m_out;
    QXmlStreamWriter m_x{&m_out};
    std::vector<std::pair<QString, QString>> m_rels; // id, target

    void start(const char* root)
    {
        m_x.writeStartDocument(QStringLiteral("1.0"), true);
        m_x.writeStartElement(root);
        m_x.writeAttribute("xmlns:w", kW);
        m_x.writeAttribute("xmlns:r", kR);
        m_x.writeAttribute("xmlns:wp", "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing");
        m_x.writeAttribute("xmlns:a", "http://schemas.openxmlformats.org/drawingml/2006/main");
        m_x.writeAttribute("xmlns:pic", "http://schemas.openxmlformats.org/drawingml/2006/picture");
    }

    QByteArray finish()
    {
        m_x.writeEndElement();
        m_x.writeEndDocument();
        return m_out;
    }

    void empty(const char* name, const char* attr = nullptr, const QString& value = {})
    {
        m_x.writeEmptyElement(name);
        if (attr)
            m_x.writeAttribute(attr, value);
    }

    void flow(const Flow& f)
    {
        for (const Item& it : f.items) {
            if (it.para)
                para(*it.para);
            else
                table(*it.table);
        }
    }

    void para(const Para& p)
    {
        m_x.writeStartElement("w:p");
        paraProps(p.blockFormat);
        int open = 0;
        int openBookmark = 0;
        for (const Run& r : p.runs) {
            const int id = r.format.intProperty(FieldId);
            if (id != open && open) {
                m_x.writeEndElement(); // sdtContent
                m_x.writeEndElement(); // sdt
                empty("w:bookmarkEnd", "w:id", num(openBookmark));
                open = 0;
            }
            if (id > 0 && id != open) {
                const FieldAttrs a{id, r.format.stringProperty(FieldData), r.format.intProperty(FieldKind),
                                   r.format.boolProperty(FieldChangeable), r.format.boolProperty(FieldDeletable)};
                const QString name = fieldBookmarkName(a);
                openBookmark = ++m_bookmarkId;
                m_x.writeEmptyElement("w:bookmarkStart");
                m_x.writeAttribute("w:id", num(openBookmark));
                m_x.writeAttribute("w:name", name);
                m_x.writeStartElement("w:sdt");
                m_x.writeStartElement("w:sdtPr");
                empty("w:alias", "w:val", a.data);
                empty("w:tag", "w:val", name);
                empty("w:id", "w:val", num(id));
                m_x.writeEndElement();
                m_x.writeStartElement("w:sdtContent");
                open = id;
            }
            run(r);
        }
        if (open) {
            m_x.writeEndElement();
            m_x.writeEndElement();
            empty("w:bookmarkEnd", "w:id", num(openBookmark));
        }
        m_x.writeEndElement();
    }

    void paraProps(const QTextBlockFormat& b)
    {
        m_x.writeStartElement("w:pPr");
        if (b.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            empty("w:pageBreakBefore");
        const QList<QTextOption::Tab> tabs = b.tabPositions();
        if (!tabs.isEmpty()) {
            m_x.writeStartElement("w:tabs");
            for (const QTextOption::Tab& t : tabs) {
                m_x.writeEmptyElement("w:tab");
                const char* v = t.type == QTextOption::RightTab    ? "right"
                                : t.type == QTextOption::CenterTab ? "center"
                                : t.type == QTextOption::DelimiterTab ? "decimal"
                                                                      : "left";
                m_x.writeAttribute("w:val", v);
                m_x.writeAttribute("w:pos", num(twips(t.position)));
            }
            m_x.writeEndElement();
        }
        if (b.topMargin() != 0 || b.bottomMargin() != 0 || b.hasProperty(QTextFormat::LineHeightType)) {
            m_x.writeEmptyElement("w:spacing");
            m_x.writeAttribute("w:before", num(twips(b.topMargin())));
            m_x.writeAttribute("w:after", num(twips(b.bottomMargin())));
            switch (b.lineHeightType()) {
            case QTextBlockFormat::ProportionalHeight:
                m_x.writeAttribute("w:line", num(std::lround(b.lineHeight() * 2.4)));
                m_x.writeAttribute("w:lineRule", "auto");
                break;
            case QTextBlockFormat::FixedHeight:
                m_x.writeAttribute("w:line", num(twips(b.lineHeight())));
                m_x.writeAttribute("w:lineRule", "exact");
                break;
            case QTextBlockFormat::MinimumHeight:
                m_x.writeAttribute("w:line", num(twips(b.lineHeight())));
                m_x.writeAttribute("w:lineRule", "atLeast");
                break;
            default:
                break;
            }
        }
        if (b.leftMargin() != 0 || b.rightMargin() != 0 || b.textIndent() != 0) {
            m_x.writeEmptyElement("w:ind");
            m_x.writeAttribute("w:left", num(twips(b.leftMargin())));
            m_x.writeAttribute("w:right", num(twips(b.rightMargin())));
            if (b.textIndent() < 0)
                m_x.writeAttribute("w:hanging", num(twips(-b.textIndent())));
            else if (b.textIndent() > 0)
                m_x.writeAttribute("w:firstLine", num(twips(b.textIndent())));
        }
        switch (b.alignment() & Qt::AlignHorizontal_Mask) {
        case Qt::AlignHCenter: empty("w:jc", "w:val", "center"); break;
        case Qt::AlignRight: empty("w:jc", "w:val", "right"); break;
        case Qt::AlignJustify: empty("w:jc", "w:val", "both"); break;
        default: break;
        }
        m_x.writeEndElement();
    }

    void runProps(const QTextCharFormat& f)
    {
        m_x.writeStartElement("w:rPr");
        const QString fam = familyOf(f);
        if (!fam.isEmpty()) {
            m_x.writeEmptyElement("w:rFonts");
            m_x.writeAttribute("w:ascii", fam);
            m_x.writeAttribute("w:hAnsi", fam);
            m_x.writeAttribute("w:cs", fam);
        }
        if (f.hasProperty(QTextFormat::FontWeight) && f.fontWeight() >= QFont::DemiBold)
            empty("w:b");
        if (f.fontItalic())
            empty("w:i");
        if (f.fontStrikeOut())
            empty("w:strike");
        if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
            empty("w:color", "w:val", hexColor(f.foreground().color()));
        if (f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0)
            empty("w:sz", "w:val", num(std::lround(f.fontPointSize() * 2)));
        if (f.fontUnderline())
            empty("w:u", "w:val", "single");
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) {
            m_x.writeEmptyElement("w:shd");
            m_x.writeAttribute("w:val", "clear");
            m_x.writeAttribute("w:color", "auto");
            m_x.writeAttribute("w:fill", hexColor(f.background().color()));
        }
        if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            empty("w:vertAlign", "w:val", "superscript");
        else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
            empty("w:vertAlign", "w:val", "subscript");
        m_x.writeEndElement();
    }

    void run(const Run& r)
    {
        if (r.format.isImageFormat()) {
            picture(r.format.toImageFormat());
            return;
        }
        m_x.writeStartElement("w:r");
        runProps(r.format);
        QString pending;
        auto flush = [&] {
            if (pending.isEmpty())
                return;
            m_x.writeStartElement("w:t");
            m_x.writeAttribute("xml:space", "preserve");
            m_x.writeCharacters(pending);
            m_x.writeEndElement();
            pending.clear();
        };
        for (QChar c : r.text) {
            if (c == QLatin1Char('\t')) {
                flush();
                empty("w:tab");
            } else if (c == QChar::LineSeparator) {
                flush();
                empty("w:br");
            } else if (c.unicode() >= 0x20 && c != QChar::ObjectReplacementCharacter && c.unicode() != 0xFFFE
                       && c.unicode() != 0xFFFF) {
                pending += c;
            }
        }
        flush();
        m_x.writeEndElement();
    }

    void picture(const QTextImageFormat& f)
    {
        const Picture* pic = nullptr;
        for (const Picture& p : m_story.pictures)
            if (p.name == f.name())
                pic = &p;
        if (!pic)
            return;
        QBuffer buf;
        buf.setData(pic->bytes);
        buf.open(QIODevice::ReadOnly);
        QImageReader reader(&buf);
        const QByteArray kind = reader.format();
        const QSize px = reader.size();
        if ((kind != "png" && kind != "jpeg") || !px.isValid())
            return;
        const QString file = QStringLiteral("image%1.%2").arg(m_media.size() + 1).arg(kind == "png" ? "png" : "jpeg");
        m_media.emplace_back(QStringLiteral("word/media/") + file, pic->bytes);
        const QString rel = QStringLiteral("rIdImg%1").arg(m_rels.size() + 1);
        m_rels.emplace_back(rel, QStringLiteral("media/") + file);
        const qint64 cx = std::llround((f.width() > 0 ? f.width() : px.width()) * 12700);
        const qint64 cy = std::llround((f.height() > 0 ? f.height() : px.height()) * 12700);
        const int id = ++m_drawingId;
        m_x.writeStartElement("w:r");
        m_x.writeStartElement("w:drawing");
        m_x.writeStartElement("wp:inline");
        for (const char* a : {"distT", "distB", "distL", "distR"})
            m_x.writeAttribute(a, "0");
        m_x.writeEmptyElement("wp:extent");
        m_x.writeAttribute("cx", num(cx));
        m_x.writeAttribute("cy", num(cy));
        m_x.writeEmptyElement("wp:docPr");
        m_x.writeAttribute("id", num(id));
        m_x.writeAttribute("name", QStringLiteral("Immagine %1").arg(id));
        m_x.writeStartElement("a:graphic");
        m_x.writeStartElement("a:graphicData");
        m_x.writeAttribute("uri", "http://schemas.openxmlformats.org/drawingml/2006/picture");
        m_x.writeStartElement("pic:pic");
        m_x.writeStartElement("pic:nvPicPr");
        m_x.writeEmptyElement("pic:cNvPr");
        m_x.writeAttribute("id", num(id));
        m_x.writeAttribute("name", file);
        empty("pic:cNvPicPr");
        m_x.writeEndElement();
        m_x.writeStartElement("pic:blipFill");
        empty("a:blip", "r:embed", rel);
        m_x.writeStartElement("a:stretch");
        empty("a:fillRect");
        m_x.writeEndElement();
        m_x.writeEndElement();
        m_x.writeStartElement("pic:spPr");
        m_x.writeStartElement("a:xfrm");
        m_x.writeEmptyElement("a:off");
        m_x.writeAttribute("x", "0");
        m_x.writeAttribute("y", "0");
        m_x.writeEmptyElement("a:ext");
        m_x.writeAttribute("cx", num(cx));
        m_x.writeAttribute("cy", num(cy));
        m_x.writeEndElement();
        m_x.writeStartElement("a:prstGeom");
        m_x.writeAttribute("prst", "rect");
        empty("a:avLst");
        m_x.writeEndElement();
        m_x.writeEndElement(); // spPr
        m_x.writeEndElement(); // pic
        m_x.writeEndElement(); // graphicData
        m_x.writeEndElement(); // graphic
        m_x.writeEndElement(); // inline
        m_x.writeEndElement(); // drawing
        m_x.writeEndElement(); // r
    }

    void border(const char* side, int eighths, const QColor& c)
    {
        m_x.writeEmptyElement(side);
        m_x.writeAttribute("w:val", "single");
        m_x.writeAttribute("w:sz", num(eighths));
        m_x.writeAttribute("w:space", "0");
        m_x.writeAttribute("w:color", hexColor(c));
    }

    void table(const Table& t)
    {
        const int textWidth = std::max(1440, m_page.width - m_page.marginLeft - m_page.marginRight);
        std::vector<int> widths(size_t(t.cols), textWidth / t.cols);
        const QList<QTextLength> constraints = t.format.columnWidthConstraints();
        for (int c = 0; c < t.cols && c < constraints.size(); ++c) {
            const QTextLength& l = constraints[c];
            if (l.type() == QTextLength::FixedLength && l.rawValue() > 0)
                widths[size_t(c)] = twips(l.rawValue());
            else if (l.type() == QTextLength::PercentageLength && l.rawValue() > 0)
                widths[size_t(c)] = int(textWidth * l.rawValue() / 100);
        }
        m_x.writeStartElement("w:tbl");
        m_x.writeStartElement("w:tblPr");
        m_x.writeEmptyElement("w:tblW");
        m_x.writeAttribute("w:w", "0");
        m_x.writeAttribute("w:type", "auto");
        if (t.format.border() > 0) {
            const QColor bc = t.format.borderBrush().style() == Qt::NoBrush ? QColor(Qt::black) : t.format.borderBrush().color();
            const int eighths = std::clamp(int(std::lround(t.format.border() * 8)), 2, 96);
            m_x.writeStartElement("w:tblBorders");
            for (const char* side : {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"})
                border(side, eighths, bc);
            m_x.writeEndElement();
        }
        m_x.writeEndElement();
        m_x.writeStartElement("w:tblGrid");
        for (int w : widths)
            empty("w:gridCol", "w:w", num(std::max(1, w)));
        m_x.writeEndElement();

        std::vector<const Cell*> slot(size_t(t.rows) * size_t(t.cols), nullptr);
        for (const Cell& c : t.cells)
            for (int r = c.row; r < c.row + c.rowSpan; ++r)
                for (int k = c.col; k < c.col + c.colSpan; ++k)
                    slot[size_t(r) * size_t(t.cols) + size_t(k)] = &c;
        for (int r = 0; r < t.rows; ++r) {
            m_x.writeStartElement("w:tr");
            for (int c = 0; c < t.cols;) {
                const Cell* cell = slot[size_t(r) * size_t(t.cols) + size_t(c)];
                const int span = cell ? std::max(1, cell->col + cell->colSpan - c) : 1;
                int width = 0;
                for (int k = c; k < c + span; ++k)
                    width += widths[size_t(k)];
                m_x.writeStartElement("w:tc");
                m_x.writeStartElement("w:tcPr");
                m_x.writeEmptyElement("w:tcW");
                m_x.writeAttribute("w:w", num(width));
                m_x.writeAttribute("w:type", "dxa");
                if (span > 1)
                    empty("w:gridSpan", "w:val", num(span));
                if (cell && cell->rowSpan > 1) {
                    if (cell->row == r)
                        empty("w:vMerge", "w:val", "restart");
                    else
                        empty("w:vMerge");
                }
                if (cell) {
                    const QTextCharFormat& f = cell->format;
                    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) {
                        m_x.writeEmptyElement("w:shd");
                        m_x.writeAttribute("w:val", "clear");
                        m_x.writeAttribute("w:color", "auto");
                        m_x.writeAttribute("w:fill", hexColor(f.background().color()));
                    }
                    if (f.verticalAlignment() == QTextCharFormat::AlignMiddle)
                        empty("w:vAlign", "w:val", "center");
                    else if (f.verticalAlignment() == QTextCharFormat::AlignBottom)
                        empty("w:vAlign", "w:val", "bottom");
                }
                m_x.writeEndElement(); // tcPr
                if (cell && cell->row == r && cell->content)
                    flow(*cell->content);
                else
                    empty("w:p");
                m_x.writeEndElement(); // tc
                c += span;
            }
            m_x.writeEndElement(); // tr
        }
        m_x.writeEndElement(); // tbl
    }
};

bool storyHasContent(const Story& s)
{
    return s.flow.items.size() > 1 || (s.flow.items.size() == 1 && s.flow.items[0].para && !s.flow.items[0].para->runs.empty());
}

} // namespace

QByteArray writeDocx(const Content& content, const PageSetup& page)
{
    std::vector<std::pair<QString, QByteArray>> media;
    int bookmarkId = 0, drawingId = 0;
    const bool hasFooter = storyHasContent(content.footer);
    PartWriter footer(content.footer, page, media, bookmarkId, drawingId);
    QByteArray footerXml, footerRels;
    if (hasFooter) {
        footerXml = footer.footer();
        footerRels = footer.rels();
    }
    // Footer pictures were numbered first; the document's follow.
    PartWriter body(content.body, page, media, bookmarkId, drawingId);
    const QByteArray documentXml = body.document(hasFooter ? QStringLiteral("rIdFooter1") : QString());
    const QByteArray documentRels = body.rels(hasFooter ? QStringLiteral("footer1.xml") : QString());

    QByteArray types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
        "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"
        "<Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>";
    if (hasFooter)
        types += "<Override PartName=\"/word/footer1.xml\" "
                 "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml\"/>";
    types += "</Types>";
    const QByteArray rootRels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
        "Target=\"word/document.xml\"/></Relationships>";

    std::vector<std::pair<QString, QByteArray>> entries = {
        {QStringLiteral("[Content_Types].xml"), types},
        {QStringLiteral("_rels/.rels"), rootRels},
        {QStringLiteral("word/document.xml"), documentXml},
        {QStringLiteral("word/_rels/document.xml.rels"), documentRels},
    };
    if (hasFooter) {
        entries.emplace_back(QStringLiteral("word/footer1.xml"), footerXml);
        entries.emplace_back(QStringLiteral("word/_rels/footer1.xml.rels"), footerRels);
    }
    for (auto& m : media)
        entries.push_back(std::move(m));
    return writeZip(entries);
}

} // namespace orv::doc::detail
