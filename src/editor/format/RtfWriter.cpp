// RTF writer. Lengths of the model are points: 20 twips each.
#include "editor/format/FieldNames.h"
#include "editor/format/Formats.h"

#include "platform/TextCodec.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QTextLength>
#include <cmath>

namespace orv::doc::detail {

namespace {

int twips(double points)
{
    return int(std::lround(points * 20));
}

QString familyOf(const QTextCharFormat& f)
{
    const QStringList families = f.property(QTextFormat::FontFamilies).toStringList();
    if (!families.isEmpty() && !families.front().isEmpty())
        return families.front();
    return f.stringProperty(QTextFormat::FontFamily);
}

class RtfWriter {
public:
    RtfWriter(const Content& c, const PageSetup& page) : m_content(c), m_page(page) {}

    QByteArray run()
    {
        // Fonts and colours are gathered in a first pass over both stories.
        m_fonts.append(QStringLiteral("Times New Roman"));
        m_colors.append(QColor()); // index 0: automatic
        gather(m_content.body.flow);
        gather(m_content.footer.flow);

        QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
        for (int i = 0; i < m_fonts.size(); ++i)
            out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 " + escape(m_fonts[i]) + ";}";
        out += "}\n{\\colortbl;";
        for (int i = 1; i < m_colors.size(); ++i)
            out += "\\red" + QByteArray::number(m_colors[i].red()) + "\\green" + QByteArray::number(m_colors[i].green())
                   + "\\blue" + QByteArray::number(m_colors[i].blue()) + ";";
        out += "}\n";
        out += "\\paperw" + QByteArray::number(m_page.width) + "\\paperh" + QByteArray::number(m_page.height)
               + "\\margl" + QByteArray::number(m_page.marginLeft) + "\\margr" + QByteArray::number(m_page.marginRight)
               + "\\margt" + QByteArray::number(m_page.marginTop) + "\\margb" + QByteArray::number(m_page.marginBottom)
               + "\\sectd\n";
        m_out.clear();
        m_story = &m_content.footer;
        flow(m_content.footer.flow, false);
        if (!m_out.isEmpty())
            out += "{\\footer\\pard\\plain " + m_out + "}\n";
        m_out.clear();
        m_story = &m_content.body;
        flow(m_content.body.flow, false);
        out += m_out;
        out += "}\n";
        return out;
    }

private:
    const Content& m_content;
    PageSetup m_page;
    QStringList m_fonts;
    QList<QColor> m_colors;
    QByteArray m_out;
    const Story* m_story = nullptr;
    int m_openField = 0; // id of the field whose bookmark is open

    int textWidthTwips() const
    {
        return std::max(1440, m_page.width - m_page.marginLeft - m_page.marginRight);
    }

    int colorIndex(const QColor& c)
    {
        const QColor opaque = QColor(c.red(), c.green(), c.blue());
        for (int i = 1; i < m_colors.size(); ++i)
            if (m_colors[i] == opaque)
                return i;
        m_colors.append(opaque);
        return int(m_colors.size() - 1);
    }

    int fontIndex(const QString& family)
    {
        const int i = int(m_fonts.indexOf(family));
        if (i >= 0)
            return i;
        m_fonts.append(family);
        return int(m_fonts.size() - 1);
    }

    void gatherFormat(const QTextCharFormat& f)
    {
        const QString fam = familyOf(f);
        if (!fam.isEmpty())
            fontIndex(fam);
        if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
            colorIndex(f.foreground().color());
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
            colorIndex(f.background().color());
    }

    void gather(const Flow& flow)
    {
        for (const Item& it : flow.items) {
            if (it.para) {
                for (const Run& r : it.para->runs)
                    gatherFormat(r.format);
            } else {
                if (it.table->format.border() > 0)
                    colorIndex(it.table->format.borderBrush().style() == Qt::NoBrush ? QColor(Qt::black)
                                                                                    : it.table->format.borderBrush().color());
                for (const Cell& c : it.table->cells) {
                    gatherFormat(c.format);
                    if (c.content)
                        gather(*c.content);
                }
            }
        }
    }

    static QByteArray escape(const QString& text)
    {
        QByteArray out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t u = text[i].unicode();
            if (u == '\\' || u == '{' || u == '}') {
                out += '\\';
                out += char(u);
            } else if (u == '\t') {
                out += "\\tab ";
            } else if (u == QChar::LineSeparator) {
                out += "\\line ";
            } else if (u == QChar::Nbsp) {
                out += "\\~";
            } else if (u < 0x20 || u == QChar::ObjectReplacementCharacter) {
                continue;
            } else if (u < 0x80) {
                out += char(u);
            } else {
                const QByteArray cp = encodeWindows1252(QString(QChar(u)));
                if (cp != "?") {
                    out += "\\'" + QByteArray::number(quint8(cp[0]), 16).rightJustified(2, '0');
                } else {
                    out += "\\u" + QByteArray::number(qint16(u)) + "?";
                }
            }
        }
        return out;
    }

    QByteArray charProps(const QTextCharFormat& f)
    {
        QByteArray p;
        if (f.hasProperty(QTextFormat::FontWeight) && f.fontWeight() >= QFont::DemiBold)
            p += "\\b";
        if (f.fontItalic())
            p += "\\i";
        if (f.fontUnderline())
            p += "\\ul";
        if (f.fontStrikeOut())
            p += "\\strike";
        if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            p += "\\super";
        else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
            p += "\\sub";
        const QString fam = familyOf(f);
        if (!fam.isEmpty())
            p += "\\f" + QByteArray::number(fontIndex(fam));
        if (f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0)
            p += "\\fs" + QByteArray::number(std::lround(f.fontPointSize() * 2));
        if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
            p += "\\cf" + QByteArray::number(colorIndex(f.foreground().color()));
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) {
            const QByteArray idx = QByteArray::number(colorIndex(f.background().color()));
            p += "\\chcbpat" + idx + "\\cb" + idx;
        }
        return p;
    }

    void picture(const QTextImageFormat& f)
    {
        const Picture* pic = nullptr;
        for (const Picture& p : m_story->pictures)
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
        const double w = f.width() > 0 ? f.width() : px.width();
        const double h = f.height() > 0 ? f.height() : px.height();
        m_out += "{\\pict" + QByteArray(kind == "png" ? "\\pngblip" : "\\jpegblip") + "\\picw"
                 + QByteArray::number(px.width()) + "\\pich" + QByteArray::number(px.height()) + "\\picwgoal"
                 + QByteArray::number(twips(w)) + "\\pichgoal" + QByteArray::number(twips(h)) + "\n";
        const QByteArray hex = pic->bytes.toHex();
        for (qsizetype i = 0; i < hex.size(); i += 128)
            m_out += hex.mid(i, 128) + "\n";
        m_out += "}";
    }

    void closeField()
    {
        if (!m_openField)
            return;
        m_out += "}}}{\\*\\bkmkend " + m_openFieldName + "}";
        m_openField = 0;
    }
    QByteArray m_openFieldName;

    void runs(const Para& p)
    {
        for (const Run& r : p.runs) {
            const int id = r.format.intProperty(FieldId);
            if (id != m_openField)
                closeField();
            if (id > 0 && id != m_openField) {
                FieldAttrs a{id, r.format.stringProperty(FieldData), r.format.intProperty(FieldKind),
                             r.format.boolProperty(FieldChangeable), r.format.boolProperty(FieldDeletable)};
                m_openFieldName = fieldBookmarkName(a).toLatin1();
                // The bookmark carries our attributes; the field itself is a
                // merge field that Word and LibreOffice show with its result.
                m_out += "{\\*\\bkmkstart " + m_openFieldName + "}{\\field{\\*\\fldinst { MERGEFIELD "
                         + escape(a.data.isEmpty() ? QStringLiteral("CAMPO") : a.data) + " }}{\\fldrslt {";
                m_openField = id;
            }
            if (r.format.isImageFormat()) {
                picture(r.format.toImageFormat());
                continue;
            }
            const QByteArray props = charProps(r.format);
            m_out += "{" + props + (props.isEmpty() ? "" : " ") + escape(r.text) + "}";
        }
        closeField();
    }

    QByteArray paraProps(const QTextBlockFormat& b)
    {
        QByteArray p;
        switch (b.alignment() & Qt::AlignHorizontal_Mask) {
        case Qt::AlignHCenter: p += "\\qc"; break;
        case Qt::AlignRight: p += "\\qr"; break;
        case Qt::AlignJustify: p += "\\qj"; break;
        default: break;
        }
        if (b.leftMargin() != 0)
            p += "\\li" + QByteArray::number(twips(b.leftMargin()));
        if (b.rightMargin() != 0)
            p += "\\ri" + QByteArray::number(twips(b.rightMargin()));
        if (b.textIndent() != 0)
            p += "\\fi" + QByteArray::number(twips(b.textIndent()));
        if (b.topMargin() != 0)
            p += "\\sb" + QByteArray::number(twips(b.topMargin()));
        if (b.bottomMargin() != 0)
            p += "\\sa" + QByteArray::number(twips(b.bottomMargin()));
        if (b.hasProperty(QTextFormat::LineHeightType)) {
            switch (b.lineHeightType()) {
            case QTextBlockFormat::ProportionalHeight:
                p += "\\sl" + QByteArray::number(std::lround(b.lineHeight() * 2.4)) + "\\slmult1";
                break;
            case QTextBlockFormat::FixedHeight:
                p += "\\sl-" + QByteArray::number(twips(b.lineHeight())) + "\\slmult0";
                break;
            case QTextBlockFormat::MinimumHeight:
                p += "\\sl" + QByteArray::number(twips(b.lineHeight())) + "\\slmult0";
                break;
            default:
                break;
            }
        }
        if (b.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            p += "\\pagebb";
        for (const QTextOption::Tab& t : b.tabPositions()) {
            switch (t.type) {
            case QTextOption::RightTab: p += "\\tqr"; break;
            case QTextOption::CenterTab: p += "\\tqc"; break;
            case QTextOption::DelimiterTab: p += "\\tqdec"; break;
            default: break;
            }
            p += "\\tx" + QByteArray::number(twips(t.position));
        }
        return p;
    }

    // A table inside a table cell: RTF readers disagree on nested tables, so
    // its rows become lines with the cells separated by tabs.
    void flatTable(const Table& t, bool inCell)
    {
        std::vector<std::vector<const Cell*>> rows(size_t(t.rows));
        for (const Cell& c : t.cells)
            rows[size_t(c.row)].push_back(&c);
        for (const auto& row : rows) {
            m_out += "\\pard\\plain";
            if (inCell)
                m_out += "\\intbl";
            m_out += " ";
            bool first = true;
            for (const Cell* c : row) {
                if (!first)
                    m_out += "\\tab ";
                first = false;
                if (c->content)
                    for (const Item& it : c->content->items)
                        if (it.para)
                            runs(*it.para), m_out += " ";
            }
            m_out += "\\par\n";
        }
    }

    void table(const Table& t)
    {
        // Column boundaries in twips.
        std::vector<int> widths(size_t(t.cols), textWidthTwips() / t.cols);
        const QList<QTextLength> constraints = t.format.columnWidthConstraints();
        for (int c = 0; c < t.cols && c < constraints.size(); ++c) {
            const QTextLength& l = constraints[c];
            if (l.type() == QTextLength::FixedLength && l.rawValue() > 0)
                widths[size_t(c)] = twips(l.rawValue());
            else if (l.type() == QTextLength::PercentageLength && l.rawValue() > 0)
                widths[size_t(c)] = int(textWidthTwips() * l.rawValue() / 100);
        }
        std::vector<int> right(size_t(t.cols));
        int acc = 0;
        for (int c = 0; c < t.cols; ++c)
            right[size_t(c)] = acc += std::max(1, widths[size_t(c)]);

        // Which cell covers each slot.
        std::vector<const Cell*> slot(size_t(t.rows) * size_t(t.cols), nullptr);
        for (const Cell& c : t.cells)
            for (int r = c.row; r < c.row + c.rowSpan; ++r)
                for (int k = c.col; k < c.col + c.colSpan; ++k)
                    slot[size_t(r) * size_t(t.cols) + size_t(k)] = &c;

        const double border = t.format.border();
        QByteArray borderProps;
        if (border > 0) {
            const QColor bc = t.format.borderBrush().style() == Qt::NoBrush ? QColor(Qt::black) : t.format.borderBrush().color();
            const QByteArray one = "\\brdrs\\brdrw" + QByteArray::number(std::clamp(twips(border), 1, 75)) + "\\brdrcf"
                                   + QByteArray::number(colorIndex(bc));
            borderProps = "\\clbrdrt" + one + "\\clbrdrl" + one + "\\clbrdrb" + one + "\\clbrdrr" + one;
        }
        for (int r = 0; r < t.rows; ++r) {
            m_out += "\\trowd\\trgaph108\\trleft0";
            std::vector<const Cell*> rowCells;
            for (int c = 0; c < t.cols;) {
                const Cell* cell = slot[size_t(r) * size_t(t.cols) + size_t(c)];
                int span = cell ? (cell->col + cell->colSpan - c) : 1;
                span = std::max(1, span);
                if (cell && cell->rowSpan > 1)
                    m_out += cell->row == r ? "\\clvmgf" : "\\clvmrg";
                if (cell) {
                    const QTextCharFormat& f = cell->format;
                    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
                        m_out += "\\clcbpat" + QByteArray::number(colorIndex(f.background().color()));
                    const auto va = f.verticalAlignment();
                    if (va == QTextCharFormat::AlignMiddle)
                        m_out += "\\clvertalc";
                    else if (va == QTextCharFormat::AlignBottom)
                        m_out += "\\clvertalb";
                }
                m_out += borderProps;
                m_out += "\\cellx" + QByteArray::number(right[size_t(c + span - 1)]);
                rowCells.push_back(cell && cell->row == r ? cell : nullptr);
                c += span;
            }
            m_out += "\n";
            for (const Cell* cell : rowCells) {
                if (cell && cell->content)
                    flow(*cell->content, true);
                else
                    m_out += "\\pard\\plain\\intbl ";
                m_out += "\\cell\n";
            }
            m_out += "\\row\n";
        }
    }

    void flow(const Flow& f, bool inCell)
    {
        for (size_t i = 0; i < f.items.size(); ++i) {
            const Item& it = f.items[i];
            const bool last = i + 1 == f.items.size();
            if (it.para) {
                m_out += "\\pard\\plain" + paraProps(it.para->blockFormat) + (inCell ? "\\intbl " : " ");
                runs(*it.para);
                // In a cell the last paragraph ends with \cell instead.
                if (!(inCell && last))
                    m_out += "\\par\n";
            } else if (inCell) {
                flatTable(*it.table, true);
            } else {
                table(*it.table);
            }
        }
    }
};

} // namespace

QByteArray writeRtf(const Content& content, const PageSetup& page)
{
    return RtfWriter(content, page).run();
}

} // namespace orv::doc::detail
