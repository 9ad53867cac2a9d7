#include "storage/Query.h"

#include "storage/Database.h"
#include "storage/Store.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace orv::storage {

using namespace detail;

Query::Query(Database* db, QObject* parent) : QObject(parent) { setDatabase(db); }

Query::~Query()
{
    if (m_db)
        m_db->detach(this);
}

void Query::setDatabase(Database* db)
{
    if (m_db)
        m_db->detach(this);
    m_db = db;
    if (db)
        db->attach(this);
}

Database* Query::database() const { return m_db; }

qint64 Query::execSql()
{
    const QString text = m_sql.join(u'\n');
    auto unsupported = [&](const QString& why) {
        throw EngineError(code::SqlError, QStringLiteral("Istruzione SQL non valida (%1): %2").arg(why, text.simplified()));
    };
    if (!m_db)
        unsupported(QStringLiteral("nessun database"));
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*DELETE\s+FROM\s+("?)([A-Za-z0-9_][A-Za-z0-9_.\\/]*)\1\s+WHERE\s+("?)([A-Za-z0-9_]+)\3\s*=\s*(-?\d{1,18}|'(?:[^']|'')*')\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        unsupported(QStringLiteral("è ammessa solo DELETE FROM tabella WHERE campo = valore"));
    if (!m_db->isOpen())
        m_db->open();
    QString table = m.captured(2);
    if (!table.endsWith(QStringLiteral(".dat"), Qt::CaseInsensitive))
        table += QStringLiteral(".DAT");
    // SQL names ignore case; so does the lookup of the table's files.
    const TablePaths paths = tablePaths(m_db->folder(), table, CaseLookup::DataFileOnly);
    const auto store = Store::acquire(paths, false);
    const Schema& s = store->schema();
    const int field = s.field(m.captured(4));
    if (field < 0)
        unsupported(QStringLiteral("campo %1 sconosciuto").arg(m.captured(4)));
    const FieldDef& f = s.fields[field];
    if (f.type == FieldType::Blob)
        unsupported(QStringLiteral("confronto con un campo blob"));
    QString literal = m.captured(5);
    QVariant value;
    if (literal.startsWith(u'\''))
        value = literal.mid(1, literal.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    else
        value = literal.toLongLong();
    Value target;
    try {
        target = valueFromVariant(f, value);
    } catch (const EngineError&) {
        unsupported(QStringLiteral("valore non adatto al campo %1").arg(f.name));
    }
    std::string prefix;
    appendFieldKey(prefix, f.type, target);

    std::vector<quint64> ids;
    int byIndex = -1;
    for (int x = 0; x < s.indexCount() && byIndex < 0; ++x)
        if (!s.indexFields(x).isEmpty() && s.indexFields(x).first() == field)
            byIndex = x;
    if (byIndex >= 0) {
        const IndexTree& keys = store->index(byIndex);
        for (size_t p = keys.lowerBound(prefix); p < keys.size() && comparePrefix(keys.at(p), prefix) == 0; ++p)
            ids.push_back(keyRowId(keys.at(p)));
    } else {
        const IndexTree& keys = store->index(0);
        for (size_t p = 0; p < keys.size(); ++p) {
            const quint64 id = keyRowId(keys.at(p));
            std::string own;
            appendFieldKey(own, f.type, (*store->row(id))[size_t(field)]);
            if (own == prefix)
                ids.push_back(id);
        }
    }
    store->remove(ids, this);
    return qint64(ids.size());
}

} // namespace orv::storage
