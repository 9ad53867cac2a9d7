#include "ui/main/ProcedureCatalogue.h"

namespace orv::ui {

const std::array<CatalogueNode, kCatalogueSize>& procedureCatalogue()
{
    static const std::array<CatalogueNode, kCatalogueSize> nodes{{
        {0, "Procedura Aperta Ristretta e Negoziata", 1, nullptr},
        {1, "Superiore alla soglia", 2, nullptr},
        {2, "Tipologia Appalto: Servizi", 6, nullptr},
        {3, "01 Pubblico incanto", 5, "01"},
        {3, "02 Licitazione privata", 5, "02"},
        {3, "03 Appalto concorso", 5, "03"},
        {2, "Tipologia Appalto: Forniture", 7, nullptr},
        {3, "04 Pubblico incanto", 5, "04"},
        {3, "05 Licitazione privata", 5, "05"},
        {3, "06 Appalto concorso", 5, "06"},
        {1, "Inferiore alla soglia ", 3, nullptr},
        {2, "Tipologia Appalto: Servizi", 6, nullptr},
        {3, "07 Pubblico incanto", 5, "07"},
        {3, "08 Licitazione privata", 5, "08"},
        {3, "09 Trattativa privata", 5, "09"},
        {2, "Tipologia Appalto: Forniture", 7, nullptr},
        {3, "10 Pubblico incanto", 5, "10"},
        {3, "11 Licitazione privata", 5, "11"},
        {3, "12 Trattativa privata", 5, "12"},
        {0, "Spese in Economia", 1, nullptr},
        {1, kRegolamentoText, 8, nullptr},
        {1, "Intervento in amministrazione diretta", 6, nullptr},
        {2, "13 Lavori", 5, "13"},
        {2, "14 Beni e servizi", 5, "14"},
        {1, "Intervento a cottimo fiduciario", 7, nullptr},
        {2, "15 Lavori", 5, "15"},
        {2, "16 Beni e servizi", 5, "16"},
        {1, "Acquisti Centralizzati", 2, nullptr},
        {2, "17 Adesione convenzioni CONSIP", 5, "17"},
    }};
    return nodes;
}

namespace {

QString typeText(const QString& tipo, bool forTitle)
{
    if (tipo == QLatin1String("S"))
        return forTitle ? QStringLiteral("Servizi - ") : QStringLiteral("Servizi -> ");
    if (tipo == QLatin1String("F"))
        return forTitle ? QStringLiteral("Forniture - ") : QStringLiteral("Forniture -> ");
    if (tipo == QLatin1String("A"))
        return QStringLiteral("Int.in Amm.diretta -> ");
    if (tipo == QLatin1String("C"))
        return QStringLiteral("Int.a Cott.fiduciario ->");
    if (tipo == QLatin1String("Z"))
        return QStringLiteral("Acquisti centralizzati ->");
    return {};
}

} // namespace

QString procedurePathText(const QString& tipoAppalto, const QString& soglia, const QString& leafText)
{
    QString band;
    if (soglia == QLatin1String("S"))
        band = QStringLiteral("Superiore alla soglia -> ");
    else if (soglia == QLatin1String("I"))
        band = QStringLiteral("Inferiore alla soglia -> ");
    else if (soglia == QLatin1String("E"))
        band = QStringLiteral("Spese in Economia ->");
    return typeText(tipoAppalto, false) + band + leafText;
}

QString standardDocumentTitle(const QString& tipoAppalto, const QString& soglia,
                              const QString& descr, const QString& titolo)
{
    QString band;
    if (soglia == QLatin1String("S"))
        band = QStringLiteral("Superiore alla soglia - ");
    else if (soglia == QLatin1String("I"))
        band = QStringLiteral("Inferiore alla soglia -> ");
    else if (soglia == QLatin1String("E"))
        band = QStringLiteral("Spese in Economia ->");
    else
        band = QStringLiteral("Adesione Convenzione CONSIP  - ");
    return typeText(tipoAppalto, true) + band + QStringLiteral("Procedura ") + descr
        + QStringLiteral(" -> ") + titolo;
}

QString caseDocumentTitle(const QString& caseListCaption, const QString& note)
{
    const QString full = caseListCaption + QStringLiteral(" [") + note + QStringLiteral("]");
    return full.mid(kCaseListCaptionPrefix.size());
}

} // namespace orv::ui
