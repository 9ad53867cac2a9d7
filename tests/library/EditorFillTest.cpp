// Every standard document, opened in the editor window, has all its merge
// fields filled with the authority's data.
#include "LibraryTestSupport.h"

#include "DataFolderBuilder.h"
#include "LibrarySource.h"
#include "Markup.h"

#include "editor/TTextControl.h"
#include "editor/TfrmTx.h"
#include "editor/format/DocumentIO.h"
#include "platform/EntityData.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

TEST(LibraryInEditor, FillReplacesEveryMergeField)
{
    const auto lib = orv::library::readLibrary(orv::test::sourceDir() + QStringLiteral("/library"));
    QList<QPair<std::string, QString>> documents;
    for (const auto& p : lib.procedures)
        for (const auto& d : p.documents)
            documents.append({(p.codice + QLatin1Char('.') + QString::number(d.codice)).toStdString(), d.markup});
    documents.append({"Regolamento", lib.regolamentoMarkup});

    orv::EntityData& data = orv::entityData();
    const orv::EntityData saved = data;
    data.COMUNE = QStringLiteral("Valdoria");
    data.PROVINCIA = QStringLiteral("Teramo");
    data.VIA = QStringLiteral("Piazza del Municipio");
    data.NUMERO = QStringLiteral("1");
    data.CITTA = QStringLiteral("64100 Valdoria");
    data.TELEFONO = QStringLiteral("0861 000001");
    data.FAX = QStringLiteral("0861 000002");
    data.MAIL = QStringLiteral("   ");  // blank: the fill writes underscores
    data.SERVIZIO = QStringLiteral("Servizio Contratti");

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("actdoc.txm"));
    orv::TfrmTx frm;
    for (const auto& [where, markup] : documents) {
        orv::test::writeFile(file, orv::library::buildDocument(markup, QString::fromStdString(where)));
        ASSERT_TRUE(frm.LoadFile(file, orv::doc::OwnFormat)) << where;
        frm.FillMergeFields();
        const auto& doc = frm.tx1->document();
        const QString text = doc.body()->toPlainText() + doc.footer()->toPlainText();
        for (const QString& key : orv::library::mergeFieldKeys())
            EXPECT_FALSE(text.contains(QLatin1Char('[') + key + QLatin1Char(']'))) << where << ": " << key.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Valdoria"))) << where;
        // Each MAIL field now shows its 25 underscores.
        orv::doc::TxDocument source;
        orv::library::markupToDocument(markup, source);
        int mailFields = 0;
        for (const auto& f : orv::test::fieldsOf(*source.body()) + orv::test::fieldsOf(*source.footer()))
            mailFields += f.tag == QLatin1String("MAIL") ? 1 : 0;
        EXPECT_EQ(text.count(QString(25, QLatin1Char('_'))), mailFields) << where;
    }
    data = saved;
}

} // namespace
