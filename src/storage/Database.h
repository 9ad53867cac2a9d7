#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

namespace orv::storage {

class Table;
class Query;

// A named connection ("DB_KELMA") bound to a folder of tables. Closing it
// closes every table object and query object that uses it. The folder can be
// changed only while it is closed. Opening a table of a closed connection
// opens the connection.
class Database : public QObject {
    Q_OBJECT
public:
    explicit Database(const QString& name = QString(), QObject* parent = nullptr);
    ~Database() override;

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    // The folder; a trailing separator ('/' or '\') is allowed.
    QString folder() const { return m_folder; }
    void setFolder(const QString& folder); // EngineError TableOpen while open

    void open();   // fails (TableNotFound) when the folder does not exist
    void close();  // closes every table and query of this connection
    bool isOpen() const { return m_open; }

private:
    friend class Table;
    friend class Query;
    void attach(Table* t);
    void detach(Table* t);
    void attach(Query* q);
    void detach(Query* q);

    QString m_name;
    QString m_folder;
    bool m_open = false;
    QList<QPointer<Table>> m_tables;
    QList<QPointer<Query>> m_queries;
};

} // namespace orv::storage
