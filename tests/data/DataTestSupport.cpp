#include "DataTestSupport.h"

#include "platform/Clock.h"

#include <QBuffer>

namespace orv::test {

void DataModuleTest::SetUp()
{
    Clock::pinToday(today());
    folder = FixtureFolder::standard();
    folder->install();
    dm = std::make_unique<Tdm>();
    dm->setCaseFileDialog(&caseDialog);
    dm->DataModuleCreate();
}

void DataModuleTest::TearDown()
{
    dm.reset();
    folder.reset();
    Clock::reset();
}

void DataModuleTest::selectProcedure(const QString& codice)
{
    ASSERT_TRUE(dm->ttProcedure->locate(QStringLiteral("CODICE"), codice)) << qPrintable(codice);
}

void DataModuleTest::selectCaseFile(const QString& note)
{
    ASSERT_TRUE(dm->ttUserProc->locate(QStringLiteral("NOTE"), note)) << qPrintable(note);
}

QStringList DataModuleTest::column(const QAbstractItemModel* model, int col)
{
    QStringList texts;
    for (int r = 0; r < model->rowCount(); ++r)
        texts << model->index(r, col).data().toString();
    return texts;
}

QByteArray DataModuleTest::blob(storage::Table* table, const QString& field)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    table->fieldByName(field).saveToDevice(buffer);
    return buffer.data();
}

} // namespace orv::test
