#pragma once
#include "data/Tdm.h"
#include "fixtures/ArchiveFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QObject>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace orv::test {

// The case-file dialog as the data module sees it: a caption and a window.
class FakeCaseFileDialog final : public CaseFileDialog {
public:
    FakeCaseFileDialog() { m_window.setObjectName(QStringLiteral("dlgUserProc")); }
    void setCaption(const QString& caption) override { captions << caption; }
    QObject* window() override { return &m_window; }
    QStringList captions;

private:
    QObject m_window;
};

// A data module opened on the standard fixture folder, with scripted dialogs
// and "today" pinned.
class DataModuleTest : public ::testing::Test {
protected:
    static QDate today() { return QDate(2026, 12, 11); }

    void SetUp() override;
    void TearDown() override;

    // Moves ttProcedure to a procedure, as the tree does.
    void selectProcedure(const QString& codice);
    // Moves ttUserProc to the case file described as `note`.
    void selectCaseFile(const QString& note);
    // The texts of one column of a model, row by row.
    static QStringList column(const QAbstractItemModel* model, int col);
    // The current row's blob, read through the data module's table object.
    static QByteArray blob(storage::Table* table, const QString& field);

    ScriptedDialogs dialogs;
    std::unique_ptr<FixtureFolder> folder;
    std::unique_ptr<Tdm> dm;
    FakeCaseFileDialog caseDialog;
};

} // namespace orv::test
