#include "ArchiveGenerator.h"

#include "data/ArchiveSchema.h"
#include "storage/Table.h"

#include <QBuffer>
#include <QDate>
#include <QRandomGenerator>
#include <cmath>

namespace orv::bench {

using namespace orv::storage;

ArchiveScale ArchiveScale::scaled(double factor)
{
    ArchiveScale s;
    s.caseFiles = std::max(1, int(std::lround(s.caseFiles * factor)));
    s.caseDocuments = std::max(1, int(std::lround(s.caseDocuments * factor)));
    return s;
}

ArchiveScale ArchiveScale::fromEnvironment()
{
    bool ok = false;
    const double f = qEnvironmentVariable("ORVANTA_BENCH_SCALE").toDouble(&ok);
    return scaled(ok && f > 0 ? f : 0.02);
}

QByteArray documentBody(int seed, int size)
{
    static const QByteArray words = "il comune di procedura aperta bando gara servizi forniture offerta prezzo "
                                    "contratto verbale determinazione responsabile procedimento importo soglia ";
    QByteArray b(qMax(size, 30), ' ');
    b[0] = char(23);
    QRandomGenerator g(quint32(seed) * 2654435761u + 1);
    for (int i = 30; i < b.size(); ++i)
        b[i] = words[int(g.bounded(quint32(words.size())))];
    b.truncate(size);
    return b;
}

void visitArchive(const ArchiveScale& s, const ArchiveVisitor& v)
{
    static const char* tipo = "SFFSACZ";
    static const char* soglia = "SIE";
    for (int p = 1; p <= s.procedures; ++p)
        if (v.procedure)
            v.procedure(QString("%1").arg(p, 2, 10, QLatin1Char('0')), QString("Procedura numero %1").arg(p),
                        QString(QLatin1Char(tipo[p % 7])), QString(QLatin1Char(soglia[p % 3])));
    // Standard documents, numbered within their procedure.
    QList<QList<qint64>> docsOf(s.procedures);
    for (int i = 0; i < s.standardDocuments; ++i) {
        const int p = i % s.procedures;
        const qint64 id = i + 1;
        docsOf[p] << id;
        if (v.document)
            v.document(id, QString("%1").arg(p + 1, 2, 10, QLatin1Char('0')), QString::number(docsOf[p].size()),
                       QString("Documento %1 della procedura %2").arg(docsOf[p].size()).arg(p + 1),
                       documentBody(int(id), s.bodyBytes));
    }
    const int base = QDate(2004, 1, 1).toJulianDay();
    qint64 docId = 0;
    for (int c = 0; c < s.caseFiles; ++c) {
        const int p = c % s.procedures;
        const qint64 caseId = c + 1;
        if (v.caseFile)
            v.caseFile(caseId, QString("%1").arg(p + 1, 2, 10, QLatin1Char('0')), base + c, QString("Pratica %1").arg(caseId));
        // The case documents spread evenly over the case files.
        const qint64 until = qint64(s.caseDocuments) * (c + 1) / s.caseFiles;
        int k = 0;
        while (docId < until) {
            ++docId;
            const QList<qint64>& std = docsOf[p];
            const qint64 ref = std.isEmpty() ? 0 : std[k++ % std.size()];
            if (v.caseDocument)
                v.caseDocument(docId, caseId, documentBody(int(100000 + docId), s.bodyBytes), base + c, QString(), ref);
        }
    }
}

void generateArchive(const QString& folder, const ArchiveScale& scale)
{
    schema::createArchive(folder);
    Table proc, docs, cases, caseDocs;
    const QList<std::pair<Table*, const char*>> tables = {
        {&proc, "ST_PROCEDURE.DAT"}, {&docs, "ST_DOCUMENTI.DAT"}, {&cases, "USER_PROCEDURE.DAT"}, {&caseDocs, "USER_DOCUMENTI.DAT"}};
    for (const auto& [t, name] : tables) {
        t->setFolder(folder);
        t->setTableName(name);
        t->setBulkLoad(true);
        t->open();
    }
    auto loadBody = [](Table& t, const char* field, QByteArray body) {
        QBuffer in(&body);
        in.open(QIODevice::ReadOnly);
        t.fieldByName(field).loadFromDevice(in);
    };
    ArchiveVisitor v;
    v.procedure = [&](const QString& code, const QString& descr, const QString& tipo, const QString& soglia) {
        proc.append();
        proc.fieldByName("CODICE").setAsString(code);
        proc.fieldByName("DESCR").setAsString(descr);
        proc.fieldByName("TIPO_APPALTO").setAsString(tipo);
        proc.fieldByName("SOGLIA").setAsString(soglia);
        proc.post();
    };
    v.document = [&](qint64, const QString& p, const QString& code, const QString& title, const QByteArray& body) {
        docs.append();
        docs.fieldByName("CODICE_PROCEDURA").setAsString(p);
        docs.fieldByName("CODICE").setAsString(code);
        docs.fieldByName("TITOLO").setAsString(title);
        loadBody(docs, "BODY", body);
        docs.post();
    };
    v.caseFile = [&](qint64, const QString& p, int day, const QString& note) {
        cases.append();
        cases.fieldByName("ID_PROCEDURA").setAsString(p);
        cases.fieldByName("DATA_CREAZIONE").setAsDate(QDate::fromJulianDay(day));
        cases.fieldByName("NOTE").setAsString(note);
        cases.post();
    };
    v.caseDocument = [&](qint64, qint64 caseId, const QByteArray& body, int day, const QString& note, qint64 ref) {
        caseDocs.append();
        caseDocs.fieldByName("ID_USER_PROCEDURA").setAsInteger(caseId);
        loadBody(caseDocs, "USER_DOC", body);
        caseDocs.fieldByName("DATA_MODIFICA").setAsDate(QDate::fromJulianDay(day));
        caseDocs.fieldByName("NOTE").setAsString(note);
        caseDocs.fieldByName("ID_DOCUMENTO").setAsInteger(ref);
        caseDocs.post();
    };
    visitArchive(scale, v);
}

} // namespace orv::bench
