#pragma once
#include <QString>
#include <array>

namespace orv::ui {

// One node of the fixed procedure tree, in display order. A node's parent is
// the nearest node above it with a level one lower.
struct CatalogueNode {
    int level;
    const char* text;  // UTF-8
    int image;         // index in the tree's image list
    const char* code;  // ST_PROCEDURE.CODICE of a procedure leaf, else nullptr
};

inline constexpr int kCatalogueSize = 29;
const std::array<CatalogueNode, kCatalogueSize>& procedureCatalogue();
inline constexpr const char* kRegolamentoText = "Regolamento";

// The path text of a procedure leaf, from its row's TIPO_APPALTO and SOGLIA:
// "Int.a Cott.fiduciario ->Spese in Economia ->15 Lavori". Codes are compared
// whole and case-sensitively; unknown codes add nothing.
QString procedurePathText(const QString& tipoAppalto, const QString& soglia, const QString& leafText);

// The editor's title for a standard document:
// "Servizi - Superiore alla soglia - Procedura Pubblico incanto -> Bando di gara".
QString standardDocumentTitle(const QString& tipoAppalto, const QString& soglia,
                              const QString& descr, const QString& titolo);

// The editor's title for a case-file document, from the case-file list's
// band caption ("Elenco pratiche di: " + path text) and the case file's NOTE.
QString caseDocumentTitle(const QString& caseListCaption, const QString& note);

inline const QString kStandardListCaptionPrefix = QStringLiteral("Modulistica - Procedura: ");
inline const QString kCaseListCaptionPrefix = QStringLiteral("Elenco pratiche di: ");

} // namespace orv::ui
