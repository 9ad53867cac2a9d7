#include "storage/Database.h"

#include "storage/EngineError.h"
#include "storage/Query.h"
#include "storage/Table.h"

#include <QDir>

namespace orv::storage {

Database::Database(const QString& name, QObject* parent) : QObject(parent), m_name(name) {}

Database::~Database()
{
    close();
    for (const QPointer<Table>& t : std::as_const(m_tables))
        if (t)
            t->setDatabase(nullptr);
    for (const QPointer<Query>& q : std::as_const(m_queries))
        if (q)
            q->setDatabase(nullptr);
}

void Database::setFolder(const QString& folder)
{
    if (m_open)
        throw EngineError(code::TableOpen, QStringLiteral("Impossibile cambiare la cartella del database %1 mentre è aperto.").arg(m_name));
    m_folder = folder;
}

void Database::open()
{
    if (m_open)
        return;
    QString dir = m_folder;
    dir.replace(u'\\', u'/');
    if (dir.isEmpty() || !QDir(dir).exists())
        throw EngineError(code::TableNotFound, QStringLiteral("La cartella del database %1 non esiste: %2").arg(m_name, m_folder));
    m_open = true;
}

void Database::close()
{
    if (!m_open)
        return;
    const auto tables = m_tables;
    for (const QPointer<Table>& t : tables)
        if (t)
            t->close();
    const auto queries = m_queries;
    for (const QPointer<Query>& q : queries)
        if (q)
            q->close();
    m_open = false;
}

void Database::attach(Table* t)
{
    m_tables.removeAll(nullptr);
    if (!m_tables.contains(t))
        m_tables << t;
}

void Database::detach(Table* t) { m_tables.removeAll(t); }

void Database::attach(Query* q)
{
    m_queries.removeAll(nullptr);
    if (!m_queries.contains(q))
        m_queries << q;
}

void Database::detach(Query* q) { m_queries.removeAll(q); }

} // namespace orv::storage
