#include "LibraryTestSupport.h"

#include "editor/format/DocumentIO.h"
#include "platform/Error.h"

#include <QTextBlock>
#include <QTextDocument>

namespace orv::test {

QList<FoundField> fieldsOf(const QTextDocument& doc)
{
    QList<FoundField> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat cf = frag.charFormat();
            const int id = cf.property(doc::FieldId).toInt();
            if (id <= 0)
                continue;
            if (!out.isEmpty() && out.last().id == id) {
                out.last().text += frag.text();
                continue;
            }
            FoundField f;
            f.id = id;
            f.text = frag.text();
            f.tag = cf.property(doc::FieldData).toString();
            f.kind = cf.property(doc::FieldKind).toInt();
            f.changeable = cf.property(doc::FieldChangeable).toBool();
            f.deletable = cf.property(doc::FieldDeletable).toBool();
            out.append(f);
        }
    }
    return out;
}

void loadStored(doc::TxDocument& doc, const QByteArray& bytes)
{
    const doc::FileHeader h = doc::decodeHeader(bytes.left(doc::kHeaderSize));
    if (!h.tagged)
        throw Error(QStringLiteral("documento senza intestazione"));
    doc::load(doc, bytes.mid(h.documentOffset), doc::OwnFormat);
    doc.page = h.page;
}

} // namespace orv::test
