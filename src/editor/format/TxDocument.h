#pragma once
// The document model shared by the file formats (this folder, no widgets)
// and the word-processing control (src/editor). A document is a body, a page
// footer and the page settings; merge fields are runs of text whose character
// format carries the field properties below.
//
// Owned by the formats; the control builds on it. Extend, do not fork.

#include <QTextDocument>
#include <QTextFormat>
#include <memory>

namespace orv::doc {

// Page size and margins in twips (1/1440 inch), in the order of the
// control's DocumentAttribute values 0 to 5.
struct PageSetup {
    int width = 11906;  // A4
    int height = 16838;
    int marginLeft = 1440;
    int marginTop = 1440;
    int marginRight = 1440;
    int marginBottom = 1440;
    bool operator==(const PageSetup&) const = default;
};

// Character-format properties of a merge field. Every character of a field
// carries the same FieldId; a field is the maximal run with that id.
enum FieldProperty : int {
    FieldId = QTextFormat::UserProperty + 100, // int, > 0
    FieldData,                                  // QString: the data tag (e.g. "COMUNE")
    FieldKind,                                  // int: the kind code
    FieldChangeable,                            // bool
    FieldDeletable,                             // bool
};

// Format codes of LoadDocument / SaveDocument.
enum Format : int {
    PlainText = 1,
    OwnFormat = 3,
    Rtf = 5,
    Word = 9,
};

class TxDocument {
public:
    TxDocument();
    QTextDocument* body() const { return m_body.get(); }
    QTextDocument* footer() const { return m_footer.get(); }
    PageSetup page;

private:
    std::unique_ptr<QTextDocument> m_body;
    std::unique_ptr<QTextDocument> m_footer;
};

} // namespace orv::doc
