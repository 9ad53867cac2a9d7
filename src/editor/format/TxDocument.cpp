#include "editor/format/TxDocument.h"

#include "platform/Error.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTextBlock>
#include <QUrl>

namespace orv::doc {

TxDocument::TxDocument()
    : m_body(std::make_unique<SealedTextDocument>()), m_footer(std::make_unique<SealedTextDocument>())
{
}

TxDocument::~TxDocument() = default;

void TxDocument::clear()
{
    m_body->clear();
    m_footer->clear();
}

QVariant SealedTextDocument::loadResource(int, const QUrl&)
{
    return {};
}

namespace {
// Visits every text fragment of the document in order; tables are part of
// the block sequence, so walking blocks is enough.
template <class F>
void forEachFragment(const QTextDocument& doc, F&& f)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().isValid())
                f(it.fragment());
}
} // namespace

std::vector<FieldInfo> fieldsOf(const QTextDocument& doc)
{
    std::vector<FieldInfo> out;
    forEachFragment(doc, [&](const QTextFragment& frag) {
        const QTextCharFormat f = frag.charFormat();
        const int id = f.intProperty(FieldId);
        if (id <= 0)
            return;
        if (!out.empty() && out.back().id == id && out.back().end == frag.position()) {
            out.back().end = frag.position() + frag.length();
            out.back().text += frag.text();
            return;
        }
        FieldInfo info;
        info.id = id;
        info.start = frag.position();
        info.end = frag.position() + frag.length();
        info.data = f.stringProperty(FieldData);
        info.kind = f.intProperty(FieldKind);
        info.changeable = f.boolProperty(FieldChangeable);
        info.deletable = f.boolProperty(FieldDeletable);
        info.text = frag.text();
        out.push_back(info);
    });
    return out;
}

FieldInfo fieldById(const QTextDocument& doc, int id)
{
    if (id > 0)
        for (const FieldInfo& f : fieldsOf(doc))
            if (f.id == id)
                return f;
    return {};
}

int maxFieldId(const QTextDocument& doc)
{
    int best = 0;
    forEachFragment(doc, [&](const QTextFragment& frag) { best = std::max(best, frag.charFormat().intProperty(FieldId)); });
    return best;
}

QTextCharFormat fieldFormat(int id, const QString& data, int kind, bool changeable, bool deletable,
                            const QTextCharFormat& base)
{
    QTextCharFormat f = base;
    f.setProperty(FieldId, id);
    f.setProperty(FieldData, data);
    f.setProperty(FieldKind, kind);
    f.setProperty(FieldChangeable, changeable);
    f.setProperty(FieldDeletable, deletable);
    return f;
}

QString addImage(QTextDocument& doc, const QByteArray& encoded)
{
    QBuffer buf;
    buf.setData(encoded);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf);
    const QByteArray kind = reader.format();
    if ((kind != "png" && kind != "jpeg") || !reader.canRead())
        throw Error(QStringLiteral("Il file non contiene un'immagine PNG o JPEG"));
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("orv-image-%1.%2").arg(n).arg(kind == "png" ? "png" : "jpg");
        if (doc.resource(QTextDocument::ImageResource, QUrl(name)).isNull()) {
            doc.addResource(QTextDocument::ImageResource, QUrl(name), encoded);
            return name;
        }
    }
}

QByteArray imageBytes(const QTextDocument& doc, const QString& name)
{
    const QVariant v = doc.resource(QTextDocument::ImageResource, QUrl(name));
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    QImage img;
    if (v.typeId() == QMetaType::QImage)
        img = v.value<QImage>();
    else if (v.typeId() == QMetaType::QPixmap)
        img = v.value<QImage>();
    if (img.isNull())
        return {};
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return out;
}

} // namespace orv::doc
