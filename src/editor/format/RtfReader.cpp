// RTF reader: a tokenizer and a stack of group states. Whatever it does not
// know it skips; nesting, picture sizes and table sizes are capped, and every
// structure goes through validate() before a document is built from it.
#include "editor/format/FieldNames.h"
#include "editor/format/Formats.h"

#include "platform/Error.h"
#include "platform/TextCodec.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QTextLength>
#include <algorithm>
#include <cmath>
#include <map>

namespace orv::doc::detail {

namespace {

constexpr int kMaxDepth = 512;
constexpr qsizetype kMaxPictureBytes = 64 * 1024 * 1024;

enum class Dest { Text, Skip, FontTable, FontName, ColorTable, FieldInst, Pict, BookmarkStart, BookmarkEnd };

struct CharState {
    bool bold = false, italic = false, underline = false, strike = false;
    int vertical = 0; // 1 super, 2 sub
    int font = -1;
    int sizeHalf = 0;
    int fg = 0, bg = 0;
    int fieldSlot = -1; // index into the reader's fallback fields
};

struct ParaState {
    int align = 0; // 0 left, 1 centre, 2 right, 3 justify
    int li = 0, ri = 0, fi = 0, sb = 0, sa = 0;
    int sl = 0;
    bool slmult = false;
    bool pageBefore = false;
    bool inTable = false;
    QList<QTextOption::Tab> tabs;
    QTextOption::TabType nextTabType = QTextOption::LeftTab;
};

struct CellDef {
    int right = 0;
    bool hMergeFirst = false, hMerge = false, vMergeFirst = false, vMerge = false;
    int background = 0;
    int borderTwips = 0;
    int borderColor = 0;
    int valign = 0; // 0 top, 1 centre, 2 bottom
};

struct State {
    Dest dest = Dest::Text;
    CharState chr;
    ParaState para;
    int uc = 1;
    int story = 0; // 0 body, 1 footer
    // Picture being read in this group.
    bool pictHere = false;
};

struct PendingRow {
    std::vector<CellDef> defs;
    std::vector<std::unique_ptr<Flow>> cells;
};

// Builds one story (body or footer) as paragraphs and table rows arrive.
struct StoryBuilder {
    Story story;
    std::unique_ptr<Para> para = std::make_unique<Para>();
    std::unique_ptr<Flow> cell;       // paragraphs of the cell being read
    std::vector<std::unique_ptr<Flow>> rowCells;
    std::vector<PendingRow> rows;
    std::vector<CellDef> defs;        // the current row definition
    CellDef nextDef;
    bool pageBreakPending = false;
};

class RtfReader {
public:
    explicit RtfReader(const QByteArray& data) : m_data(data) {}

    ReadResult run()
    {
        m_stack.push_back(State());
        while (m_pos < m_data.size()) {
            const char ch = m_data[m_pos];
            if (ch == '{') {
                ++m_pos;
                if (int(m_stack.size()) >= kMaxDepth) {
                    skipGroup();
                    continue;
                }
                m_stack.push_back(m_stack.back());
                m_stack.back().pictHere = false;
            } else if (ch == '}') {
                ++m_pos;
                endGroup();
            } else if (ch == '\\') {
                ++m_pos;
                control();
            } else if (ch == '\r' || ch == '\n') {
                ++m_pos;
            } else {
                ++m_pos;
                byteText(quint8(ch));
            }
        }
        while (m_stack.size() > 1)
            endGroup();
        flushText();
        finishStory(m_body);
        finishStory(m_footer);
        ReadResult r;
        r.content.body = std::move(m_body.story);
        r.content.footer = std::move(m_footer.story);
        r.page = m_page;
        validate(r.content.body.flow);
        validate(r.content.footer.flow);
        return r;
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
    std::vector<State> m_stack;
    StoryBuilder m_body, m_footer;
    PageSetup m_page{0, 0, 0, 0, 0, 0};
    std::map<int, QString> m_fonts;
    int m_fontBeingDefined = 0;
    int m_defaultFont = 0;
    QList<QColor> m_colors;
    QColor m_colorBeingDefined;
    bool m_colorHasComponents = false;
    QString m_fontName;
    // Pending bytes of text (code page 1252) and their state.
    QByteArray m_textBytes;
    int m_skipAfterUnicode = 0;
    // Fields.
    QString m_instruction;
    struct FallbackField {
        FieldAttrs attrs;
    };
    std::vector<FallbackField> m_fallbackFields;
    std::optional<FieldAttrs> m_bookmarkField;
    QString m_bookmarkName;
    int m_nextFallbackId = 1000000;
    // Picture.
    QByteArray m_pictHex;
    QByteArray m_pictBin;
    QByteArray m_pictKind;
    int m_picwGoal = 0, m_pichGoal = 0, m_scaleX = 100, m_scaleY = 100;
    int m_pictureCount = 0;

    State& st() { return m_stack.back(); }
    StoryBuilder& story() { return st().story == 1 ? m_footer : m_body; }

    void skipGroup()
    {
        // Skips to the matching brace without growing the stack.
        int depth = 1;
        while (m_pos < m_data.size() && depth > 0) {
            const char ch = m_data[m_pos++];
            if (ch == '\\')
                ++m_pos;
            else if (ch == '{')
                ++depth;
            else if (ch == '}')
                --depth;
        }
    }

    void endGroup()
    {
        flushText();
        if (m_stack.size() <= 1)
            return; // an unbalanced closing brace: ignore it
        const State closing = st();
        m_stack.pop_back();
        switch (closing.dest) {
        case Dest::FontName:
        case Dest::FontTable:
            if (closing.dest == Dest::FontName || !m_fontName.isEmpty())
                defineFont();
            break;
        case Dest::Pict:
            if (closing.pictHere)
                endPicture();
            break;
        case Dest::BookmarkStart:
            if (st().dest != Dest::BookmarkStart) {
                if (auto f = parseFieldBookmarkName(m_bookmarkName.trimmed()))
                    m_bookmarkField = f;
            }
            break;
        case Dest::BookmarkEnd:
            if (st().dest != Dest::BookmarkEnd && m_bookmarkField
                && parseFieldBookmarkName(m_bookmarkName.trimmed()).has_value()
                && parseFieldBookmarkName(m_bookmarkName.trimmed())->id == m_bookmarkField->id)
                m_bookmarkField.reset();
            break;
        default:
            break;
        }
        if (closing.story == 1 && st().story != 1)
            finishStory(m_footer);
    }

    void defineFont()
    {
        QString name = m_fontName.trimmed();
        if (name.endsWith(QLatin1Char(';')))
            name.chop(1);
        if (!name.isEmpty() && m_fonts.size() < 4096)
            m_fonts[m_fontBeingDefined] = name.trimmed();
        m_fontName.clear();
    }

    // ---- text --------------------------------------------------------

    void byteText(quint8 b)
    {
        if (m_skipAfterUnicode > 0) {
            --m_skipAfterUnicode;
            return;
        }
        switch (st().dest) {
        case Dest::Text:
            m_textBytes.append(char(b));
            break;
        case Dest::FontTable:
        case Dest::FontName:
            m_fontName += QChar(b);
            if (b == ';')
                defineFont();
            break;
        case Dest::ColorTable:
            if (b == ';') {
                m_colors.append(m_colorHasComponents ? m_colorBeingDefined : QColor());
                m_colorBeingDefined = QColor(0, 0, 0);
                m_colorHasComponents = false;
            }
            break;
        case Dest::FieldInst:
            m_instruction += QChar(b);
            break;
        case Dest::Pict:
            if (isxdigit(b) && m_pictHex.size() < 2 * kMaxPictureBytes)
                m_pictHex.append(char(b));
            break;
        case Dest::BookmarkStart:
        case Dest::BookmarkEnd:
            m_bookmarkName += QChar(b);
            break;
        case Dest::Skip:
            break;
        }
    }

    void unicodeText(QChar c)
    {
        flushText();
        if (st().dest == Dest::Text)
            appendText(QString(c));
        else if (st().dest == Dest::FieldInst)
            m_instruction += c;
        else if (st().dest == Dest::BookmarkStart || st().dest == Dest::BookmarkEnd)
            m_bookmarkName += c;
        else if (st().dest == Dest::FontName || st().dest == Dest::FontTable)
            m_fontName += c;
    }

    void flushText()
    {
        if (m_textBytes.isEmpty())
            return;
        const QString text = decodeWindows1252(m_textBytes);
        m_textBytes.clear();
        appendText(text);
    }

    QTextCharFormat charFormat() const
    {
        const CharState& c = m_stack.back().chr;
        QTextCharFormat f;
        if (c.bold)
            f.setFontWeight(QFont::Bold);
        if (c.italic)
            f.setFontItalic(true);
        if (c.underline)
            f.setFontUnderline(true);
        if (c.strike)
            f.setFontStrikeOut(true);
        if (c.vertical == 1)
            f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        else if (c.vertical == 2)
            f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        if (c.font >= 0 && c.font != m_defaultFont) {
            auto it = m_fonts.find(c.font);
            if (it != m_fonts.end())
                f.setFontFamilies({it->second});
        }
        if (c.sizeHalf > 0)
            f.setFontPointSize(c.sizeHalf / 2.0);
        if (c.fg > 0 && c.fg < m_colors.size() && m_colors[c.fg].isValid())
            f.setForeground(m_colors[c.fg]);
        if (c.bg > 0 && c.bg < m_colors.size() && m_colors[c.bg].isValid())
            f.setBackground(m_colors[c.bg]);
        const FieldAttrs* field = nullptr;
        if (m_bookmarkField)
            field = &*m_bookmarkField;
        else if (c.fieldSlot >= 0 && c.fieldSlot < int(m_fallbackFields.size()))
            field = &m_fallbackFields[size_t(c.fieldSlot)].attrs;
        if (field) {
            f.setProperty(FieldId, field->id);
            f.setProperty(FieldData, field->data);
            f.setProperty(FieldKind, field->kind);
            f.setProperty(FieldChangeable, field->changeable);
            f.setProperty(FieldDeletable, field->deletable);
        }
        return f;
    }

    void appendRun(const QString& text, const QTextCharFormat& f)
    {
        Para& p = *story().para;
        if (!p.runs.empty() && p.runs.back().format == f && !f.isImageFormat())
            p.runs.back().text += text;
        else
            p.runs.push_back({f, text});
    }

    void appendText(const QString& text)
    {
        if (text.isEmpty())
            return;
        appendRun(cleanRunText(text), charFormat());
    }

    // ---- paragraphs and tables --------------------------------------

    QTextBlockFormat blockFormat(const ParaState& p) const
    {
        QTextBlockFormat b;
        static const Qt::Alignment aligns[4] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
        if (p.align > 0)
            b.setAlignment(aligns[p.align & 3]);
        if (p.li)
            b.setLeftMargin(p.li / 20.0);
        if (p.ri)
            b.setRightMargin(p.ri / 20.0);
        if (p.fi)
            b.setTextIndent(p.fi / 20.0);
        if (p.sb)
            b.setTopMargin(p.sb / 20.0);
        if (p.sa)
            b.setBottomMargin(p.sa / 20.0);
        if (p.sl > 0 && p.slmult)
            b.setLineHeight(p.sl / 2.4, QTextBlockFormat::ProportionalHeight);
        else if (p.sl < 0)
            b.setLineHeight(-p.sl / 20.0, QTextBlockFormat::FixedHeight);
        else if (p.sl > 0)
            b.setLineHeight(p.sl / 20.0, QTextBlockFormat::MinimumHeight);
        if (p.pageBefore)
            b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        if (!p.tabs.isEmpty())
            b.setTabPositions(p.tabs);
        return b;
    }

    void endParagraph(bool endsCell)
    {
        flushText();
        StoryBuilder& sb = story();
        std::unique_ptr<Para> p = std::move(sb.para);
        sb.para = std::make_unique<Para>();
        p->blockFormat = blockFormat(st().para);
        if (sb.pageBreakPending) {
            p->blockFormat.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            sb.pageBreakPending = false;
        }
        if (st().para.inTable || endsCell) {
            if (!sb.cell)
                sb.cell = std::make_unique<Flow>();
            Item it;
            it.para = std::move(p);
            sb.cell->items.push_back(std::move(it));
            return;
        }
        flushTable(sb);
        Item it;
        it.para = std::move(p);
        sb.story.flow.items.push_back(std::move(it));
    }

    void endCell()
    {
        endParagraph(true);
        StoryBuilder& sb = story();
        if (sb.rowCells.size() < size_t(kMaxTableColumns))
            sb.rowCells.push_back(std::move(sb.cell));
        sb.cell.reset();
    }

    void endRow(StoryBuilder& sb)
    {
        if (sb.cell && !sb.cell->items.empty())
            sb.rowCells.push_back(std::move(sb.cell));
        sb.cell.reset();
        if (sb.rowCells.empty())
            return;
        PendingRow row;
        row.defs = sb.defs;
        row.cells = std::move(sb.rowCells);
        sb.rowCells.clear();
        if (sb.rows.size() < 32767)
            sb.rows.push_back(std::move(row));
    }

    // Turns the pending rows into a table: the grid's columns are the union
    // of every row's cell boundaries.
    void flushTable(StoryBuilder& sb)
    {
        if (sb.rows.empty())
            return;
        std::vector<PendingRow> rows = std::move(sb.rows);
        sb.rows.clear();
        // Cells without a definition get one 1440 twips wide.
        for (PendingRow& r : rows) {
            int last = 0;
            for (CellDef& d : r.defs) {
                d.right = std::max(d.right, last + 1);
                last = d.right;
            }
            while (r.defs.size() < r.cells.size()) {
                CellDef d;
                d.right = last += 1440;
                r.defs.push_back(d);
            }
        }
        std::vector<int> bounds;
        for (const PendingRow& r : rows)
            for (size_t i = 0; i < r.cells.size(); ++i)
                bounds.push_back(r.defs[i].right);
        std::sort(bounds.begin(), bounds.end());
        bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
        if (bounds.empty())
            return;
        if (bounds.size() > size_t(kMaxTableColumns))
            bounds.resize(size_t(kMaxTableColumns));
        const int cols = int(bounds.size());
        int nrows = int(rows.size());
        if (qint64(nrows) * cols > kMaxTableCells)
            nrows = int(kMaxTableCells / cols);

        Table t;
        t.rows = nrows;
        t.cols = cols;
        QList<QTextLength> widths;
        int prev = 0;
        for (int b : bounds) {
            widths.append(QTextLength(QTextLength::FixedLength, (b - prev) / 20.0));
            prev = b;
        }
        t.format.setColumnWidthConstraints(widths);
        t.format.setCellSpacing(0);
        t.format.setCellPadding(2);
        int maxBorder = 0, borderColor = 0;

        auto colOf = [&](int right) {
            return int(std::lower_bound(bounds.begin(), bounds.end(), right) - bounds.begin());
        };
        // Index of the cell (in t.cells) that starts at each slot of the
        // previous row, for vertical merges.
        std::vector<int> above(size_t(cols), -1);
        for (int r = 0; r < nrows; ++r) {
            std::vector<int> here(size_t(cols), -1);
            int start = 0;
            int lastCell = -1;
            PendingRow& row = rows[size_t(r)];
            for (size_t i = 0; i < row.cells.size(); ++i) {
                const CellDef& d = row.defs[i];
                const int end = std::min(colOf(d.right), cols - 1);
                if (end < start)
                    continue;
                maxBorder = std::max(maxBorder, d.borderTwips);
                if (d.borderColor)
                    borderColor = d.borderColor;
                if (d.hMerge && lastCell >= 0) {
                    Cell& c = t.cells[size_t(lastCell)];
                    if (c.row == r)
                        c.colSpan = end - c.col + 1;
                    start = end + 1;
                    continue;
                }
                if (d.vMerge && above[size_t(start)] >= 0) {
                    Cell& c = t.cells[size_t(above[size_t(start)])];
                    if (c.col == start && c.col + c.colSpan - 1 == end && c.row + c.rowSpan == r) {
                        ++c.rowSpan;
                        for (int k = start; k <= end; ++k)
                            here[size_t(k)] = above[size_t(start)];
                        start = end + 1;
                        continue;
                    }
                }
                Cell c;
                c.row = r;
                c.col = start;
                c.colSpan = end - start + 1;
                QTextTableCellFormat cf;
                if (d.background > 0 && d.background < m_colors.size() && m_colors[d.background].isValid())
                    cf.setBackground(m_colors[d.background]);
                if (d.valign == 1)
                    cf.setVerticalAlignment(QTextCharFormat::AlignMiddle);
                else if (d.valign == 2)
                    cf.setVerticalAlignment(QTextCharFormat::AlignBottom);
                c.format = cf;
                c.content = std::move(row.cells[i]);
                if (!c.content || c.content->items.empty()) {
                    c.content = std::make_unique<Flow>();
                    c.content->addPara();
                }
                normaliseFlow(*c.content);
                t.cells.push_back(std::move(c));
                lastCell = int(t.cells.size() - 1);
                for (int k = start; k <= end; ++k)
                    here[size_t(k)] = lastCell;
                start = end + 1;
            }
            above = here;
        }
        if (maxBorder > 0) {
            t.format.setBorder(std::max(0.5, maxBorder / 20.0));
            t.format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            QColor bc = Qt::black;
            if (borderColor > 0 && borderColor < m_colors.size() && m_colors[borderColor].isValid())
                bc = m_colors[borderColor];
            t.format.setBorderBrush(bc);
            t.format.setBorderCollapse(true);
        } else {
            t.format.setBorder(0);
        }
        Flow& flow = sb.story.flow;
        if (flow.items.empty() || flow.items.back().table)
            flow.addPara();
        Item it;
        it.table = std::make_unique<Table>(std::move(t));
        flow.items.push_back(std::move(it));
    }

    // A cell's flow may hold only paragraphs here (RTF nested tables are
    // read as text), so it just has to start and end with one.
    static void normaliseFlow(Flow& f)
    {
        if (f.items.empty())
            f.addPara();
    }

    void finishStory(StoryBuilder& sb)
    {
        // Text after the last \par is a paragraph of its own.
        if (!sb.para->runs.empty() || sb.cell || !sb.rowCells.empty()) {
            State saved = st();
            const bool inCell = sb.cell || !sb.rowCells.empty();
            if (!sb.para->runs.empty()) {
                std::unique_ptr<Para> p = std::move(sb.para);
                sb.para = std::make_unique<Para>();
                p->blockFormat = blockFormat(saved.para);
                Item it;
                it.para = std::move(p);
                if (inCell) {
                    if (!sb.cell)
                        sb.cell = std::make_unique<Flow>();
                    sb.cell->items.push_back(std::move(it));
                } else {
                    flushTable(sb);
                    sb.story.flow.items.push_back(std::move(it));
                }
            }
            if (inCell)
                endRow(sb);
        }
        flushTable(sb);
        if (sb.story.flow.items.empty() || sb.story.flow.items.back().table)
            sb.story.flow.addPara();
    }

    // ---- pictures ----------------------------------------------------

    void endPicture()
    {
        QByteArray bytes = m_pictBin.isEmpty() ? QByteArray::fromHex(m_pictHex) : m_pictBin;
        m_pictHex.clear();
        m_pictBin.clear();
        if (m_pictKind.isEmpty() || bytes.isEmpty())
            return;
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        QImageReader reader(&buf);
        const QByteArray kind = reader.format();
        const QSize px = reader.size();
        if ((kind != "png" && kind != "jpeg") || !px.isValid() || px.width() > 20000 || px.height() > 20000)
            return;
        Story& s = story().story;
        Picture p;
        p.name = QStringLiteral("rtf-image-%1.%2").arg(++m_pictureCount).arg(kind == "png" ? "png" : "jpg");
        p.bytes = bytes;
        s.pictures.push_back(p);
        QTextImageFormat f;
        f.setName(p.name);
        const double w = m_picwGoal > 0 ? m_picwGoal / 20.0 : px.width();
        const double h = m_pichGoal > 0 ? m_pichGoal / 20.0 : px.height();
        f.setWidth(std::clamp(w * m_scaleX / 100.0, 1.0, 5000.0));
        f.setHeight(std::clamp(h * m_scaleY / 100.0, 1.0, 5000.0));
        flushText();
        appendRun(QString(QChar::ObjectReplacementCharacter), f);
    }

    // ---- control words -----------------------------------------------

    void control()
    {
        if (m_pos >= m_data.size())
            return;
        const char c = m_data[m_pos];
        if (!isalpha(quint8(c))) {
            ++m_pos;
            symbol(c);
            return;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_data.size() && isalpha(quint8(m_data[m_pos])) && m_pos - start < 32)
            ++m_pos;
        const QByteArray word = m_data.mid(start, m_pos - start);
        bool hasParam = false;
        qint64 param = 0;
        bool negative = false;
        if (m_pos < m_data.size() && m_data[m_pos] == '-') {
            negative = true;
            ++m_pos;
        }
        int digits = 0;
        while (m_pos < m_data.size() && isdigit(quint8(m_data[m_pos]))) {
            if (digits < 10)
                param = param * 10 + (m_data[m_pos] - '0');
            ++digits;
            ++m_pos;
            hasParam = true;
        }
        if (negative)
            param = -param;
        param = std::clamp<qint64>(param, -2000000000, 2000000000);
        if (m_pos < m_data.size() && m_data[m_pos] == ' ')
            ++m_pos;
        controlWord(word, hasParam, int(param));
    }

    void symbol(char c)
    {
        switch (c) {
        case '\'': {
            if (m_pos + 2 > m_data.size()) {
                m_pos = m_data.size();
                return;
            }
            bool ok = false;
            const int v = m_data.mid(m_pos, 2).toInt(&ok, 16);
            m_pos += 2;
            if (ok)
                byteText(quint8(v));
            return;
        }
        case '~':
            unicodeText(QChar::Nbsp);
            return;
        case '_':
            unicodeText(QChar(0x2011));
            return;
        case '-':
            return; // optional hyphen
        case '*':
            // An ignorable destination: skip unless we know the group.
            m_ignorable = true;
            return;
        case '\r':
        case '\n':
            controlWord("par", false, 0);
            return;
        case '\\':
        case '{':
        case '}':
            byteText(quint8(c));
            return;
        default:
            return;
        }
    }
    bool m_ignorable = false;

    void setDest(Dest d)
    {
        flushText();
        st().dest = d;
    }

    void controlWord(const QByteArray& w, bool hasParam, int param)
    {
        const bool ignorable = m_ignorable;
        m_ignorable = false;
        if (m_skipAfterUnicode > 0) {
            // A control word counts as one character of the fallback.
            --m_skipAfterUnicode;
            return;
        }
        State& s = st();
        if (s.dest == Dest::Skip)
            return;
        CharState& ch = s.chr;
        ParaState& pa = s.para;
        const int on = hasParam ? param : 1;

        // Destinations.
        if (w == "fonttbl") return setDest(Dest::FontTable);
        if (w == "colortbl") {
            setDest(Dest::ColorTable);
            m_colorBeingDefined = QColor(0, 0, 0);
            return;
        }
        if (w == "footer" || w == "footerr") {
            flushText();
            s.story = 1;
            s.dest = Dest::Text;
            m_footer = StoryBuilder();
            return;
        }
        if (w == "pict") {
            setDest(Dest::Pict);
            s.pictHere = true;
            m_pictHex.clear();
            m_pictBin.clear();
            m_pictKind.clear();
            m_picwGoal = m_pichGoal = 0;
            m_scaleX = m_scaleY = 100;
            return;
        }
        if (w == "fldinst") {
            setDest(Dest::FieldInst);
            m_instruction.clear();
            return;
        }
        if (w == "fldrslt") {
            flushText();
            s.dest = Dest::Text;
            beginFieldResult();
            return;
        }
        if (w == "field" || w == "shppict" || w == "fldrslt")
            return;
        if (w == "bkmkstart") {
            setDest(Dest::BookmarkStart);
            m_bookmarkName.clear();
            return;
        }
        if (w == "bkmkend") {
            setDest(Dest::BookmarkEnd);
            m_bookmarkName.clear();
            return;
        }
        if (w == "stylesheet" || w == "info" || w == "header" || w == "headerl" || w == "headerr" || w == "headerf"
            || w == "footerl" || w == "footerf" || w == "nonshppict" || w == "listtable" || w == "listoverridetable" || w == "rsidtbl"
            || w == "generator" || w == "themedata" || w == "colorschememapping" || w == "latentstyles"
            || w == "datastore" || w == "xmlnstbl" || w == "pgdsctbl" || w == "object" || w == "shp"
            || w == "do" || w == "fldtype" || w == "datafield" || w == "formfield" || w == "pntext"
            || w == "listtext" || w == "footnote" || w == "annotation" || w == "atnid" || w == "atnauthor")
            return setDest(Dest::Skip);
        // An ignorable destination we do not know is skipped wherever it
        // stands (font tables and pictures hold them too).
        if (ignorable && !isKnownInline(w))
            return setDest(Dest::Skip);

        if (s.dest == Dest::FontTable || s.dest == Dest::FontName) {
            if (w == "f") {
                m_fontBeingDefined = param;
                m_fontName.clear();
                s.dest = Dest::FontName;
            }
            return;
        }
        if (s.dest == Dest::ColorTable) {
            const int v = std::clamp(param, 0, 255);
            if (w == "red") m_colorBeingDefined.setRed(v), m_colorHasComponents = true;
            else if (w == "green") m_colorBeingDefined.setGreen(v), m_colorHasComponents = true;
            else if (w == "blue") m_colorBeingDefined.setBlue(v), m_colorHasComponents = true;
            return;
        }
        if (s.dest == Dest::Pict) {
            if (w == "pngblip") m_pictKind = "png";
            else if (w == "jpegblip") m_pictKind = "jpeg";
            else if (w == "picwgoal") m_picwGoal = std::clamp(param, 0, 1000000);
            else if (w == "pichgoal") m_pichGoal = std::clamp(param, 0, 1000000);
            else if (w == "picscalex") m_scaleX = std::clamp(param, 1, 1000);
            else if (w == "picscaley") m_scaleY = std::clamp(param, 1, 1000);
            else if (w == "bin") binary(param);
            return;
        }
        if (w == "bin") {
            // Binary data outside a picture: skip it.
            if (param > 0 && param <= m_data.size() - m_pos)
                m_pos += param;
            else
                m_pos = m_data.size();
            return;
        }
        if (s.dest == Dest::FieldInst || s.dest == Dest::BookmarkStart || s.dest == Dest::BookmarkEnd) {
            if (w == "u")
                unicode(param);
            return;
        }

        // Document.
        if (w == "deff") { m_defaultFont = param; return; }
        if (w == "paperw") { m_page.width = std::max(0, param); return; }
        if (w == "paperh") { m_page.height = std::max(0, param); return; }
        if (w == "margl") { m_page.marginLeft = std::max(0, param); return; }
        if (w == "margr") { m_page.marginRight = std::max(0, param); return; }
        if (w == "margt") { m_page.marginTop = std::max(0, param); return; }
        if (w == "margb") { m_page.marginBottom = std::max(0, param); return; }
        if (w == "uc") { s.uc = std::clamp(param, 0, 10); return; }
        if (w == "u") { unicode(param); return; }

        // Characters.
        if (w == "plain") {
            flushText();
            const int field = ch.fieldSlot;
            ch = CharState();
            ch.fieldSlot = field;
            return;
        }
        if (w == "b") return flushText(), void(ch.bold = on != 0);
        if (w == "i") return flushText(), void(ch.italic = on != 0);
        if (w == "ul") return flushText(), void(ch.underline = on != 0);
        if (w == "uld" || w == "uldb" || w == "ulw" || w == "uldash" || w == "ulth")
            return flushText(), void(ch.underline = true);
        if (w == "ulnone") return flushText(), void(ch.underline = false);
        if (w == "strike" || w == "striked") return flushText(), void(ch.strike = on != 0);
        if (w == "super") return flushText(), void(ch.vertical = 1);
        if (w == "sub") return flushText(), void(ch.vertical = 2);
        if (w == "nosupersub") return flushText(), void(ch.vertical = 0);
        if (w == "f") return flushText(), void(ch.font = param);
        if (w == "fs") return flushText(), void(ch.sizeHalf = std::clamp(param, 0, 3276));
        if (w == "cf") return flushText(), void(ch.fg = std::max(0, param));
        if (w == "cb" || w == "chcbpat" || w == "highlight") return flushText(), void(ch.bg = std::max(0, param));

        // Paragraphs.
        if (w == "pard") {
            flushText();
            pa = ParaState();
            return;
        }
        if (w == "par") return endParagraph(false);
        if (w == "ql") return void(pa.align = 0);
        if (w == "qc") return void(pa.align = 1);
        if (w == "qr") return void(pa.align = 2);
        if (w == "qj") return void(pa.align = 3);
        if (w == "li") return void(pa.li = std::clamp(param, -200000, 200000));
        if (w == "ri") return void(pa.ri = std::clamp(param, -200000, 200000));
        if (w == "fi") return void(pa.fi = std::clamp(param, -200000, 200000));
        if (w == "sb") return void(pa.sb = std::clamp(param, 0, 200000));
        if (w == "sa") return void(pa.sa = std::clamp(param, 0, 200000));
        if (w == "sl") return void(pa.sl = std::clamp(param, -200000, 200000));
        if (w == "slmult") return void(pa.slmult = param != 0);
        if (w == "pagebb") return void(pa.pageBefore = on != 0);
        if (w == "tqr") return void(pa.nextTabType = QTextOption::RightTab);
        if (w == "tqc") return void(pa.nextTabType = QTextOption::CenterTab);
        if (w == "tqdec") return void(pa.nextTabType = QTextOption::DelimiterTab);
        if (w == "tx") {
            if (pa.tabs.size() < 64) {
                QTextOption::Tab t(std::clamp(param, 0, 200000) / 20.0, pa.nextTabType);
                if (t.type == QTextOption::DelimiterTab)
                    t.delimiter = QLatin1Char(',');
                pa.tabs.append(t);
            }
            pa.nextTabType = QTextOption::LeftTab;
            return;
        }
        if (w == "page") {
            endParagraph(false);
            story().pageBreakPending = true;
            return;
        }
        if (w == "line") return unicodeText(QChar::LineSeparator);
        if (w == "tab") return unicodeText(QLatin1Char('\t'));
        if (w == "emdash") return unicodeText(QChar(0x2014));
        if (w == "endash") return unicodeText(QChar(0x2013));
        if (w == "lquote") return unicodeText(QChar(0x2018));
        if (w == "rquote") return unicodeText(QChar(0x2019));
        if (w == "ldblquote") return unicodeText(QChar(0x201C));
        if (w == "rdblquote") return unicodeText(QChar(0x201D));
        if (w == "bullet") return unicodeText(QChar(0x2022));

        // Tables.
        StoryBuilder& sb = story();
        if (w == "intbl") return void(pa.inTable = true);
        if (w == "trowd") {
            sb.defs.clear();
            sb.nextDef = CellDef();
            return;
        }
        if (w == "cellx") {
            if (sb.defs.size() < size_t(kMaxTableColumns)) {
                sb.nextDef.right = std::clamp(param, 0, 10000000);
                sb.defs.push_back(sb.nextDef);
            }
            sb.nextDef = CellDef();
            return;
        }
        if (w == "clmgf") return void(sb.nextDef.hMergeFirst = true);
        if (w == "clmrg") return void(sb.nextDef.hMerge = true);
        if (w == "clvmgf") return void(sb.nextDef.vMergeFirst = true);
        if (w == "clvmrg") return void(sb.nextDef.vMerge = true);
        if (w == "clcbpat") return void(sb.nextDef.background = std::max(0, param));
        if (w == "clvertalc") return void(sb.nextDef.valign = 1);
        if (w == "clvertalb") return void(sb.nextDef.valign = 2);
        if (w == "brdrw") return void(sb.nextDef.borderTwips = std::max(sb.nextDef.borderTwips, std::clamp(param, 0, 255)));
        if (w == "brdrs" || w == "brdrth" || w == "brdrdb") {
            if (sb.nextDef.borderTwips == 0)
                sb.nextDef.borderTwips = 10;
            return;
        }
        if (w == "brdrcf") return void(sb.nextDef.borderColor = std::max(0, param));
        if (w == "cell" || w == "nestcell") return endCell();
        if (w == "row" || w == "nestrow") {
            flushText();
            if (!story().para->runs.empty())
                endCell();
            return endRow(sb);
        }
        // Everything else is skipped.
    }

    static bool isKnownInline(const QByteArray& w)
    {
        return w == "bkmkstart" || w == "bkmkend" || w == "fldinst" || w == "shppict" || w == "pict";
    }

    void unicode(int param)
    {
        int v = param;
        if (v < 0)
            v += 65536;
        if (v < 0 || v > 0xFFFF)
            v = 0xFFFD;
        unicodeText(QChar(char16_t(v)));
        m_skipAfterUnicode = st().uc;
    }

    void binary(int n)
    {
        if (n <= 0 || n > m_data.size() - m_pos || n > kMaxPictureBytes) {
            m_pos = m_data.size();
            return;
        }
        m_pictBin = m_data.mid(m_pos, n);
        m_pos += n;
    }

    void beginFieldResult()
    {
        // Our own fields come with a bookmark; other MERGEFIELDs become
        // fields named after their data.
        if (m_bookmarkField)
            return;
        const QStringList words = m_instruction.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 2 && words[0].compare(QLatin1String("MERGEFIELD"), Qt::CaseInsensitive) == 0
            && m_fallbackFields.size() < 100000) {
            FallbackField f;
            f.attrs.id = m_nextFallbackId++;
            f.attrs.data = words[1];
            f.attrs.kind = 16;
            m_fallbackFields.push_back(f);
            st().chr.fieldSlot = int(m_fallbackFields.size() - 1);
        }
    }
};

} // namespace

ReadResult readRtf(const QByteArray& data)
{
    return RtfReader(data).run();
}

} // namespace orv::doc::detail
