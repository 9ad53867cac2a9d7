#include "editor/format/OwnFormat.h"

#include "editor/format/Binary.h"

#include <QBrush>
#include <QColor>
#include <QHash>
#include <QPen>
#include <QTextLength>
#include <QTextOption>
#include <cmath>

namespace orv::doc::detail {
namespace {

constexpr char kMagic[4] = {'O', 'R', 'V', 'D'};
constexpr quint16 kVersion = 1;
constexpr double kMaxReal = 1e6;

enum ValueTag : quint8 {
    TBool = 1,
    TInt = 2,
    TReal = 3,
    TString = 4,
    TColor = 5,
    TBrush = 6,
    TPen = 7,
    TLength = 8,
    TLengthList = 9,
    TTabList = 10,
    TStringList = 11,
};

QString damagedText()
{
    return QStringLiteral("Documento danneggiato");
}

// ---- writing -------------------------------------------------------------

void writeColor(ByteWriter& w, const QColor& c)
{
    w.u8(c.isValid() ? 1 : 0);
    w.u32(c.isValid() ? c.rgba() : 0);
}

// Returns false for a value we do not keep (the property is then left out).
bool writeValue(ByteWriter& w, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        w.u8(TBool), w.u8(v.toBool() ? 1 : 0);
        return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        w.u8(TInt), w.i32(v.toInt());
        return true;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::fabs(d) > kMaxReal)
            return false;
        w.u8(TReal), w.f64(d);
        return true;
    }
    case QMetaType::QString:
        w.u8(TString), w.string(v.toString());
        return true;
    case QMetaType::QStringList: {
        const QStringList l = v.toStringList();
        w.u8(TStringList), w.u32(quint32(l.size()));
        for (const QString& s : l)
            w.string(s);
        return true;
    }
    case QMetaType::QColor:
        w.u8(TColor), writeColor(w, v.value<QColor>());
        return true;
    case QMetaType::QBrush: {
        const QBrush b = v.value<QBrush>();
        w.u8(TBrush), w.u8(b.style() == Qt::NoBrush ? 0 : 1), writeColor(w, b.color());
        return true;
    }
    case QMetaType::QPen: {
        const QPen p = v.value<QPen>();
        w.u8(TPen), w.u8(quint8(p.style())), w.f64(std::isfinite(p.widthF()) ? p.widthF() : 0);
        writeColor(w, p.color());
        w.u8(quint8(p.capStyle() >> 4)), w.u8(quint8(p.joinStyle() >> 6));
        return true;
    }
    case QMetaType::QTextLength: {
        const QTextLength l = v.value<QTextLength>();
        w.u8(TLength), w.u8(quint8(l.type())), w.f64(l.rawValue());
        return true;
    }
    case QMetaType::QVariantList: {
        const QVariantList list = v.toList();
        if (list.isEmpty())
            return false;
        if (list.front().typeId() == QMetaType::QTextLength) {
            w.u8(TLengthList), w.u32(quint32(list.size()));
            for (const QVariant& e : list) {
                const QTextLength l = e.value<QTextLength>();
                w.u8(quint8(l.type())), w.f64(l.rawValue());
            }
            return true;
        }
        if (list.front().canConvert<QTextOption::Tab>()) {
            w.u8(TTabList), w.u32(quint32(list.size()));
            for (const QVariant& e : list) {
                const auto t = e.value<QTextOption::Tab>();
                w.f64(t.position), w.u8(quint8(t.type)), w.u16(t.delimiter.unicode());
            }
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

class Writer {
public:
    QByteArray run(const Content& c)
    {
        ByteWriter body;
        story(body, c.body);
        story(body, c.footer);
        ByteWriter out;
        out.data.append(kMagic, 4);
        out.u16(kVersion);
        out.u16(0);
        out.u32(quint32(m_formats.size()));
        for (const QByteArray& f : m_formats)
            out.data.append(f);
        out.data.append(body.data);
        return out.data;
    }

private:
    std::vector<QByteArray> m_formats;
    QHash<QByteArray, quint32> m_index;

    quint32 format(const QTextFormat& f)
    {
        ByteWriter w;
        ByteWriter props;
        quint32 n = 0;
        const QMap<int, QVariant> map = f.properties(); // sorted by key
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (it.key() == QTextFormat::ObjectIndex)
                continue;
            ByteWriter one;
            one.u32(quint32(it.key()));
            if (writeValue(one, it.value())) {
                props.data.append(one.data);
                ++n;
            }
        }
        w.u8(quint8(f.type()));
        w.u32(n);
        w.data.append(props.data);
        auto found = m_index.find(w.data);
        if (found != m_index.end())
            return *found;
        const quint32 idx = quint32(m_formats.size());
        m_formats.push_back(w.data);
        m_index.insert(w.data, idx);
        return idx;
    }

    void story(ByteWriter& w, const Story& s)
    {
        w.u32(quint32(s.lists.size()));
        for (const QTextListFormat& l : s.lists)
            w.u32(format(l));
        w.u32(quint32(s.pictures.size()));
        for (const Picture& p : s.pictures) {
            w.string(p.name);
            w.bytes(p.bytes);
        }
        flow(w, s.flow);
    }

    void flow(ByteWriter& w, const Flow& f)
    {
        w.u32(quint32(f.items.size()));
        for (const Item& it : f.items) {
            if (it.para) {
                const Para& p = *it.para;
                w.u8('P');
                w.u32(format(p.blockFormat));
                w.u32(format(p.charFormat));
                w.u32(quint32(p.list));
                // Runs with equal formats are joined so that a reload, where
                // QTextDocument merges them, writes the same bytes.
                std::vector<std::pair<quint32, QString>> runs;
                for (const Run& r : p.runs) {
                    const quint32 idx = format(r.format);
                    if (!runs.empty() && runs.back().first == idx)
                        runs.back().second += r.text;
                    else
                        runs.emplace_back(idx, r.text);
                }
                w.u32(quint32(runs.size()));
                for (const auto& [idx, text] : runs) {
                    w.u32(idx);
                    w.string(text);
                }
            } else {
                const Table& t = *it.table;
                w.u8('T');
                w.u32(format(t.format));
                w.u32(quint32(t.rows));
                w.u32(quint32(t.cols));
                w.u32(quint32(t.cells.size()));
                for (const Cell& c : t.cells) {
                    w.u32(quint32(c.row)), w.u32(quint32(c.col));
                    w.u32(quint32(c.rowSpan)), w.u32(quint32(c.colSpan));
                    w.u32(format(c.format));
                    if (c.content)
                        flow(w, *c.content);
                    else {
                        Flow empty;
                        empty.addPara();
                        flow(w, empty);
                    }
                }
            }
        }
    }
};

// ---- reading -------------------------------------------------------------

class Reader {
public:
    explicit Reader(const QByteArray& data) : r(data, damagedText()) {}

    Content run()
    {
        if (r.raw(4) != QByteArray(kMagic, 4))
            r.fail(QStringLiteral("il file non è un documento"));
        const quint16 version = r.u16();
        if (version > kVersion)
            throw Error(QStringLiteral("Il documento è stato salvato da una versione più recente del programma"));
        if (version == 0)
            r.fail();
        r.u16(); // flags
        const quint32 n = r.count(5);
        m_formats.reserve(n);
        for (quint32 i = 0; i < n; ++i)
            m_formats.push_back(format());
        Content c;
        story(c.body);
        story(c.footer);
        if (r.left() != 0)
            r.fail(QStringLiteral("dati in eccesso"));
        validate(c.body.flow);
        validate(c.footer.flow);
        return c;
    }

private:
    ByteReader r;
    std::vector<QTextFormat> m_formats;
    int m_depth = 0;

    double real()
    {
        const double d = r.f64();
        if (!std::isfinite(d) || std::fabs(d) > kMaxReal)
            r.fail(QStringLiteral("valore numerico non valido"));
        return d;
    }

    QColor color()
    {
        const quint8 valid = r.u8();
        const quint32 argb = r.u32();
        if (valid > 1)
            r.fail();
        return valid ? QColor::fromRgba(argb) : QColor();
    }

    QTextLength length()
    {
        const quint8 type = r.u8();
        const double v = real();
        if (type > QTextLength::PercentageLength)
            r.fail();
        return QTextLength(QTextLength::Type(type), v);
    }

    QVariant value()
    {
        switch (r.u8()) {
        case TBool: {
            const quint8 b = r.u8();
            if (b > 1)
                r.fail();
            return bool(b);
        }
        case TInt:
            return r.i32();
        case TReal:
            return real();
        case TString:
            return r.string();
        case TColor:
            return color();
        case TBrush: {
            const quint8 style = r.u8();
            const QColor c = color();
            if (style > 1)
                r.fail();
            return style ? QBrush(c) : QBrush();
        }
        case TPen: {
            const quint8 style = r.u8();
            const double width = real();
            const QColor c = color();
            const quint8 cap = r.u8(), join = r.u8();
            if (style > Qt::CustomDashLine || cap > 2 || join > 4 || width < 0)
                r.fail();
            return QPen(QBrush(c), width, Qt::PenStyle(style), Qt::PenCapStyle(cap << 4), Qt::PenJoinStyle(join << 6));
        }
        case TLength:
            return QVariant::fromValue(length());
        case TLengthList: {
            const quint32 n = r.count(9);
            QVariantList l;
            for (quint32 i = 0; i < n; ++i)
                l.append(QVariant::fromValue(length()));
            return l;
        }
        case TTabList: {
            const quint32 n = r.count(11);
            QVariantList l;
            for (quint32 i = 0; i < n; ++i) {
                QTextOption::Tab t;
                t.position = real();
                const quint8 type = r.u8();
                t.delimiter = QChar(r.u16());
                if (type > QTextOption::DelimiterTab)
                    r.fail();
                t.type = QTextOption::TabType(type);
                l.append(QVariant::fromValue(t));
            }
            return l;
        }
        case TStringList: {
            const quint32 n = r.count(4);
            QStringList l;
            for (quint32 i = 0; i < n; ++i)
                l.append(r.string());
            return l;
        }
        default:
            r.fail(QStringLiteral("valore sconosciuto"));
        }
    }

    QTextFormat format()
    {
        const quint8 kind = r.u8();
        if (kind != QTextFormat::BlockFormat && kind != QTextFormat::CharFormat && kind != QTextFormat::ListFormat
            && kind != QTextFormat::FrameFormat)
            r.fail(QStringLiteral("formato sconosciuto"));
        QTextFormat f(kind);
        const quint32 n = r.count(6);
        qint64 lastKey = -1;
        for (quint32 i = 0; i < n; ++i) {
            const quint32 key = r.u32();
            if (qint64(key) <= lastKey || key == quint32(QTextFormat::ObjectIndex) || key > 0x7fffffff)
                r.fail();
            lastKey = key;
            f.setProperty(int(key), value());
        }
        return f;
    }

    const QTextFormat& formatRef(int kind)
    {
        const quint32 i = r.u32();
        if (i >= m_formats.size() || m_formats[i].type() != kind)
            r.fail(QStringLiteral("riferimento a un formato non valido"));
        return m_formats[i];
    }

    void story(Story& s)
    {
        const quint32 nl = r.count(4);
        for (quint32 i = 0; i < nl; ++i)
            s.lists.push_back(formatRef(QTextFormat::ListFormat).toListFormat());
        const quint32 np = r.count(8);
        for (quint32 i = 0; i < np; ++i) {
            Picture p;
            p.name = r.string();
            p.bytes = r.bytes();
            s.pictures.push_back(std::move(p));
        }
        flow(s.flow, int(s.lists.size()));
    }

    void flow(Flow& f, int lists)
    {
        const quint32 n = r.count(17);
        for (quint32 i = 0; i < n; ++i) {
            const quint8 tag = r.u8();
            if (tag == 'P') {
                Para& p = f.addPara();
                p.blockFormat = formatRef(QTextFormat::BlockFormat).toBlockFormat();
                p.charFormat = formatRef(QTextFormat::CharFormat).toCharFormat();
                const quint32 list = r.u32();
                if (list > quint32(lists))
                    r.fail(QStringLiteral("elenco inesistente"));
                p.list = int(list);
                const quint32 nr = r.count(8);
                p.runs.reserve(nr);
                for (quint32 k = 0; k < nr; ++k) {
                    Run run;
                    run.format = formatRef(QTextFormat::CharFormat).toCharFormat();
                    run.text = r.string();
                    if (cleanRunText(run.text) != run.text)
                        r.fail(QStringLiteral("testo non valido"));
                    p.runs.push_back(std::move(run));
                }
            } else if (tag == 'T') {
                if (++m_depth > kMaxTableDepth)
                    r.fail(QStringLiteral("tabelle annidate troppo in profondità"));
                Table& t = f.addTable();
                const QTextFormat& tf = formatRef(QTextFormat::FrameFormat);
                if (!tf.isTableFormat())
                    r.fail(QStringLiteral("formato di tabella non valido"));
                t.format = tf.toTableFormat();
                const quint32 rows = r.u32(), cols = r.u32();
                if (rows < 1 || cols < 1 || cols > quint32(kMaxTableColumns) || qint64(rows) * cols > kMaxTableCells)
                    r.fail(QStringLiteral("tabella di dimensioni non valide"));
                t.rows = int(rows);
                t.cols = int(cols);
                const quint32 nc = r.count(41);
                if (nc > rows * cols)
                    r.fail();
                for (quint32 k = 0; k < nc; ++k) {
                    Cell c;
                    c.row = int(std::min<quint32>(r.u32(), rows));
                    c.col = int(std::min<quint32>(r.u32(), cols));
                    c.rowSpan = int(std::min<quint32>(r.u32(), rows + 1));
                    c.colSpan = int(std::min<quint32>(r.u32(), cols + 1));
                    const QTextFormat& cf = formatRef(QTextFormat::CharFormat);
                    if (!cf.isTableCellFormat())
                        r.fail(QStringLiteral("formato di cella non valido"));
                    c.format = cf.toTableCellFormat();
                    c.content = std::make_unique<Flow>();
                    flow(*c.content, lists);
                    t.cells.push_back(std::move(c));
                }
                --m_depth;
            } else {
                r.fail();
            }
        }
    }
};

} // namespace

QByteArray writeOwnFormat(const Content& content)
{
    return Writer().run(content);
}

Content readOwnFormat(const QByteArray& data)
{
    return Reader(data).run();
}

} // namespace orv::doc::detail
