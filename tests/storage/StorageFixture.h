#pragma once
#include "storage/Database.h"
#include "storage/EngineError.h"
#include "storage/Table.h"
#include "storage/TableDef.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orv::storage::test {

// The archive's two document tables, as the data files define them.
TableDef documentsDef();      // ST_DOCUMENTI
TableDef userDocumentsDef();  // USER_DOCUMENTI
TableDef proceduresDef();     // ST_PROCEDURE
TableDef userProceduresDef(); // USER_PROCEDURE

// Deterministic bytes for blob contents.
QByteArray patternBytes(qint64 size, quint32 seed);

// Runs f and returns the engine error code it threw (0 when none).
template <class F>
int codeOf(F&& f)
{
    try {
        f();
    } catch (const EngineError& e) {
        return e.code();
    }
    return 0;
}

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString folder() const { return dir.path(); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace orv::storage::test
