// Admin commands on table files: check, repair and dump.
#include "Commands.h"

#include "storage/EngineError.h"
#include "storage/Repair.h"
#include "storage/Table.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QIODevice>
#include <cstdio>

using namespace orv::storage;

namespace {

void out(const QString& s) { std::fputs(s.toUtf8().constData(), stdout); }
void err(const QString& s) { std::fputs(s.toUtf8().constData(), stderr); }

QString conditionOf(int c)
{
    switch (c) {
    case code::BlobDataEnded: return QStringLiteral("fine prematura dei dati di un blob");
    case code::HeaderCorrupt: return QStringLiteral("intestazione della tabella danneggiata");
    case code::RecordCorrupt: return QStringLiteral("record dei dati danneggiati");
    case code::BlobBlockCorrupt: return QStringLiteral("blocchi dei blob danneggiati");
    case code::IndexCorrupt: return QStringLiteral("pagine dell'indice danneggiate");
    case code::ReadFailed: return QStringLiteral("errore di lettura dalla tabella");
    case code::WriteFailed: return QStringLiteral("errore di scrittura sulla tabella");
    case code::InvalidBlobOffset: return QStringLiteral("posizione di un blob non valida");
    case code::InvalidIndexField: return QStringLiteral("numero di campo non valido in un indice");
    case code::InvalidBlobLength: return QStringLiteral("lunghezza di un blob non valida");
    default: return QString();
    }
}

struct Target {
    QString folder, name;
};

bool target(const QStringList& args, Target* t)
{
    if (args.size() != 1) {
        err(QStringLiteral("Indicare un solo file .DAT\n"));
        return false;
    }
    const QFileInfo fi(args.first());
    t->folder = fi.absolutePath();
    t->name = fi.fileName();
    return true;
}

// Exit code of an engine error: 1 for damage, 2 for anything else.
int report(const EngineError& e)
{
    if (e.isDamage()) {
        out(QStringLiteral("%1 (0x%2) %3\n%4\n")
                .arg(e.code())
                .arg(e.code(), 4, 16, QLatin1Char('0'))
                .arg(conditionOf(e.code()), e.message()));
        return 1;
    }
    err(QStringLiteral("Errore %1: %2\n").arg(e.code()).arg(e.message()));
    return 2;
}

int runCheck(const QStringList& args)
{
    Target t;
    if (!target(args, &t))
        return 2;
    try {
        checkTable(t.folder, t.name);
    } catch (const EngineError& e) {
        return report(e);
    }
    out(QStringLiteral("OK\n"));
    return 0;
}

int runRepair(const QStringList& args)
{
    Target t;
    if (!target(args, &t))
        return 2;
    RepairReport r;
    try {
        r = repairTable(t.folder, t.name, [](quint16 p) {
            err(QStringLiteral("\rRiparazione %1%").arg(p, 3));
        });
        err(QStringLiteral("\n"));
    } catch (const EngineError& e) {
        err(QStringLiteral("\n"));
        report(e);
        return 2;
    }
    out(QStringLiteral("Righe mantenute: %1\nRighe perse: %2\nBlob mantenuti: %3\nBlob persi: %4\n")
            .arg(r.rowsKept)
            .arg(r.rowsDropped)
            .arg(r.blobsKept)
            .arg(r.blobsDropped));
    for (const QString& n : std::as_const(r.notes))
        out(n + u'\n');
    return 0;
}

// A write-only device that only hashes what it is given.
class HashSink : public QIODevice {
public:
    HashSink() : hash(QCryptographicHash::Sha256) { open(QIODevice::WriteOnly); }
    QCryptographicHash hash;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override
    {
        hash.addData(QByteArrayView(data, len));
        return len;
    }
};

QString csv(const QString& s)
{
    if (!s.contains(u',') && !s.contains(u'"') && !s.contains(u'\n') && !s.contains(u'\r'))
        return s;
    QString q = s;
    q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

int runDump(const QStringList& args)
{
    Target t;
    if (!target(args, &t))
        return 2;
    try {
        Table table;
        table.setFolder(t.folder);
        table.setTableName(t.name);
        table.open();
        const TableDef def = table.definition();
        QStringList header;
        for (const FieldDef& f : def.fields)
            header << csv(f.name);
        out(header.join(u',') + u'\n');
        for (table.first(); !table.eof(); table.next()) {
            QStringList cells;
            for (const FieldDef& f : def.fields) {
                Field field = table.fieldByName(f.name);
                if (f.type == FieldType::Blob) {
                    HashSink sink;
                    field.saveToDevice(sink);
                    cells << QStringLiteral("%1 %2").arg(field.blobSize()).arg(QString::fromLatin1(sink.hash.result().toHex()));
                } else {
                    cells << csv(field.asString());
                }
            }
            out(cells.join(u',') + u'\n');
        }
    } catch (const EngineError& e) {
        return report(e);
    }
    return 0;
}

const AdminCommand checkCommand{"check", "FILE.DAT",
                                "controlla righe, blob e indici della tabella; OK (0), danno (1), altro errore (2)", &runCheck};
const AdminCommand repairCommand{"repair", "FILE.DAT", "ripara la tabella sul posto e riporta cosa è stato perso", &runRepair};
const AdminCommand dumpCommand{"dump", "FILE.DAT", "stampa le righe in CSV (blob: dimensione e SHA-256)", &runDump};

} // namespace
