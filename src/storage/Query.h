#pragma once
#include <QObject>
#include <QPointer>
#include <QStringList>

namespace orv::storage {

class Database;

// A query object on a database that runs statements returning no rows. The
// one statement understood is
//     DELETE FROM <table> WHERE <field> = <integer or 'text'>
// with keywords in any case and any spaces or line breaks between words;
// <table> is the table's base name (USER_DOCUMENTI) or its file name. Any
// other statement fails with EngineError SqlError. Open table objects of the
// same table see the deletion at once.
class Query : public QObject {
    Q_OBJECT
public:
    explicit Query(Database* db = nullptr, QObject* parent = nullptr);
    ~Query() override;

    void setDatabase(Database* db);
    Database* database() const;

    // The statement, as lines (joined by line breaks).
    QStringList sql() const { return m_sql; }
    void setSql(const QStringList& lines) { m_sql = lines; }
    void clearSql() { m_sql.clear(); }
    void addSql(const QString& line) { m_sql << line; }

    // Runs the statement (opening the database if closed); returns the number
    // of rows deleted. Each deleted row is durable when this returns.
    qint64 execSql();
    void close() {}  // nothing is held between runs

private:
    QPointer<Database> m_db;
    QStringList m_sql;
};

} // namespace orv::storage
