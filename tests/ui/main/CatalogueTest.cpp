// The texts built from a procedure's codes.
#include "ui/main/ProcedureCatalogue.h"

#include <gtest/gtest.h>

namespace orv::ui {
namespace {

struct PathCase {
    const char* tipo;
    const char* soglia;
    const char* leaf;
    const char* expected;
};

TEST(ProcedureCatalogue, PathTextsJoinTheCodesTextsAsTheyAre)
{
    const PathCase cases[] = {
        {"S", "S", "01 Pubblico incanto", "Servizi -> Superiore alla soglia -> 01 Pubblico incanto"},
        {"F", "I", "10 Pubblico incanto", "Forniture -> Inferiore alla soglia -> 10 Pubblico incanto"},
        {"A", "E", "13 Lavori", "Int.in Amm.diretta -> Spese in Economia ->13 Lavori"},
        {"C", "E", "15 Lavori", "Int.a Cott.fiduciario ->Spese in Economia ->15 Lavori"},
        {"Z", "X", "17 Adesione convenzioni CONSIP", "Acquisti centralizzati ->17 Adesione convenzioni CONSIP"},
        {"s", "S", "01 Pubblico incanto", "Superiore alla soglia -> 01 Pubblico incanto"},
        {"", "", "x", "x"},
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(procedurePathText(QString::fromLatin1(c.tipo), QString::fromLatin1(c.soglia), QString::fromLatin1(c.leaf)),
                  QString::fromLatin1(c.expected))
            << c.tipo << "/" << c.soglia;
}

TEST(ProcedureCatalogue, StandardDocumentTitlesUseTheirOwnTexts)
{
    EXPECT_EQ(standardDocumentTitle(QStringLiteral("S"), QStringLiteral("S"), QStringLiteral("Pubblico incanto"),
                                    QStringLiteral("Bando di gara")),
              QStringLiteral("Servizi - Superiore alla soglia - Procedura Pubblico incanto -> Bando di gara"));
    EXPECT_EQ(standardDocumentTitle(QStringLiteral("Z"), QStringLiteral("?"), QStringLiteral("Adesione"), QStringLiteral("T")),
              QStringLiteral("Acquisti centralizzati ->Adesione Convenzione CONSIP  - Procedura Adesione -> T"));
    EXPECT_EQ(standardDocumentTitle(QStringLiteral("F"), QStringLiteral("I"), QStringLiteral("D"), QStringLiteral("T")),
              QStringLiteral("Forniture - Inferiore alla soglia -> Procedura D -> T"));
}

TEST(ProcedureCatalogue, CaseDocumentTitleDropsTheListPrefix)
{
    EXPECT_EQ(caseDocumentTitle(QStringLiteral("Elenco pratiche di: Servizi -> Superiore alla soglia -> 01 Pubblico incanto"),
                                QStringLiteral("Cancelleria 2004")),
              QStringLiteral("Servizi -> Superiore alla soglia -> 01 Pubblico incanto [Cancelleria 2004]"));
}

TEST(ProcedureCatalogue, SeventeenLeavesWithTheirCodesInOrder)
{
    int code = 0;
    for (const CatalogueNode& n : procedureCatalogue()) {
        if (!n.code)
            continue;
        ++code;
        EXPECT_EQ(QString::fromLatin1(n.code), QStringLiteral("%1").arg(code, 2, 10, QLatin1Char('0')));
        EXPECT_TRUE(QString::fromUtf8(n.text).startsWith(QString::fromLatin1(n.code) + QLatin1Char(' ')));
    }
    EXPECT_EQ(code, 17);
}

} // namespace
} // namespace orv::ui
