#include "editor/format/DocumentIO.h"

#include "editor/format/Formats.h"
#include "editor/format/OwnFormat.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

namespace orv::doc {
using namespace detail;

namespace {

void applyFound(TxDocument& doc, const PageSetup& found)
{
    auto take = [](int& target, int v) {
        if (v > 0)
            target = v;
    };
    take(doc.page.width, found.width);
    take(doc.page.height, found.height);
    take(doc.page.marginLeft, found.marginLeft);
    take(doc.page.marginTop, found.marginTop);
    take(doc.page.marginRight, found.marginRight);
    take(doc.page.marginBottom, found.marginBottom);
}

ReadResult readFormat(const QByteArray& data, Format format)
{
    switch (format) {
    case OwnFormat: {
        ReadResult r;
        r.content = readOwnFormat(data);
        return r;
    }
    case Rtf:
        if (!looksLikeRtf(data))
            throw Error(QStringLiteral("Il file non è un documento RTF"));
        return readRtf(data);
    case PlainText:
        return readPlainText(data);
    case Word:
        if (looksLikeRtf(data))
            return readRtf(data);
        if (looksLikeZip(data))
            return readDocx(data);
        if (looksLikeOle(data))
            return readBinaryWord(data);
        throw Error(QStringLiteral("Il file non è un documento Word"));
    }
    throw Error(QStringLiteral("Formato di documento sconosciuto: %1").arg(int(format)));
}

QByteArray readWholeFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Impossibile leggere il file %1").arg(QDir::toNativeSeparators(path)));
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Impossibile leggere il file %1").arg(QDir::toNativeSeparators(path)));
    return data;
}

void writeWholeFile(const QString& path, const QByteArray& data)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        throw Error(QStringLiteral("Impossibile scrivere il file %1").arg(QDir::toNativeSeparators(path)));
}

QString lowerSuffix(const QString& path)
{
    return QFileInfo(path).suffix().toLower();
}

} // namespace

PageSetup untaggedPage()
{
    PageSetup p;
    p.width = 11906;
    p.height = 16837;
    p.marginLeft = p.marginTop = p.marginRight = p.marginBottom = 1440;
    return p;
}

QByteArray encodeHeader(const PageSetup& page)
{
    QByteArray out(kHeaderSize, '\0');
    const qint32 values[7] = {kHeaderTag,       page.marginLeft, page.marginTop, page.marginRight,
                              page.marginBottom, page.height,     page.width};
    for (int i = 0; i < 7; ++i)
        qToLittleEndian<qint32>(values[i], out.data() + 4 * i);
    return out;
}

FileHeader decodeHeader(const QByteArray& leading)
{
    if (leading.size() < 4)
        throw Error(QStringLiteral("Il file è troppo corto per essere un documento"));
    const qint32 tag = qFromLittleEndian<qint32>(leading.constData());
    if (tag != kHeaderTag)
        return {untaggedPage(), 4, false};
    if (leading.size() < kHeaderSize)
        throw Error(QStringLiteral("L'intestazione del documento è incompleta"));
    auto at = [&](int offset) { return qFromLittleEndian<qint32>(leading.constData() + offset); };
    PageSetup p;
    p.marginLeft = at(4);
    p.marginTop = at(8);
    p.marginRight = at(12);
    p.marginBottom = at(16);
    p.height = at(20);
    p.width = at(24);
    return {p, kHeaderSize, true};
}

Format formatForFileName(const QString& fileName)
{
    const QString end = fileName.right(3).toUpper();
    if (end == QLatin1String("RTF"))
        return Rtf;
    if (end == QLatin1String("TXT"))
        return PlainText;
    if (end == QLatin1String("DOC"))
        return Word;
    return OwnFormat;
}

PageSetup load(TxDocument& doc, const QByteArray& data, Format format)
{
    ReadResult r = readFormat(data, format);
    build(*doc.body(), r.content.body);
    build(*doc.footer(), r.content.footer);
    applyFound(doc, r.page);
    return r.page;
}

QByteArray save(const TxDocument& doc, Format format)
{
    const Content c = extract(*doc.body(), *doc.footer());
    switch (format) {
    case OwnFormat:
        return writeOwnFormat(c);
    case Rtf:
    case Word:
        return writeRtf(c, doc.page);
    case PlainText:
        return writePlainText(c);
    }
    throw Error(QStringLiteral("Formato di documento sconosciuto: %1").arg(int(format)));
}

QByteArray saveDocx(const TxDocument& doc)
{
    return writeDocx(extract(*doc.body(), *doc.footer()), doc.page);
}

PageSetup loadDocx(TxDocument& doc, const QByteArray& data)
{
    ReadResult r = readDocx(data);
    build(*doc.body(), r.content.body);
    build(*doc.footer(), r.content.footer);
    applyFound(doc, r.page);
    return r.page;
}

PageSetup loadFile(TxDocument& doc, const QString& path, qint64 offset, Format format)
{
    const QByteArray data = readWholeFile(path);
    if (offset < 0 || offset > data.size())
        throw Error(QStringLiteral("Il file %1 è troppo corto").arg(QDir::toNativeSeparators(path)));
    return load(doc, data.mid(offset), format);
}

void saveFile(const TxDocument& doc, const QString& path, qint64 offset, Format format)
{
    QByteArray prefix;
    if (offset > 0) {
        prefix = readWholeFile(path);
        if (prefix.size() < offset)
            throw Error(QStringLiteral("Il file %1 è troppo corto").arg(QDir::toNativeSeparators(path)));
        prefix.truncate(offset);
    }
    writeWholeFile(path, prefix + save(doc, format));
}

void loadDocumentFile(TxDocument& doc, const QString& path)
{
    const QByteArray data = readWholeFile(path);
    const FileHeader h = decodeHeader(data.left(kHeaderSize));
    load(doc, data.mid(h.documentOffset), OwnFormat);
    doc.page = h.page;
}

void saveDocumentFile(const TxDocument& doc, const QString& path)
{
    writeWholeFile(path, encodeHeader(doc.page) + save(doc, OwnFormat));
}

void readAnyFile(TxDocument& doc, const QString& path)
{
    const QString ext = lowerSuffix(path);
    if (ext == QLatin1String("rtf"))
        loadFile(doc, path, 0, Rtf);
    else if (ext == QLatin1String("txt"))
        loadFile(doc, path, 0, PlainText);
    else if (ext == QLatin1String("doc") || ext == QLatin1String("docx"))
        loadFile(doc, path, 0, Word);
    else
        loadDocumentFile(doc, path);
}

void writeAnyFile(const TxDocument& doc, const QString& path)
{
    const QString ext = lowerSuffix(path);
    if (ext == QLatin1String("rtf"))
        saveFile(doc, path, 0, Rtf);
    else if (ext == QLatin1String("txt"))
        saveFile(doc, path, 0, PlainText);
    else if (ext == QLatin1String("doc"))
        saveFile(doc, path, 0, Word);
    else if (ext == QLatin1String("docx"))
        writeWholeFile(path, saveDocx(doc));
    else
        saveDocumentFile(doc, path);
}

} // namespace orv::doc
