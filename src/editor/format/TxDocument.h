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
#include <vector>

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
    ~TxDocument();
    QTextDocument* body() const { return m_body.get(); }
    QTextDocument* footer() const { return m_footer.get(); }
    PageSetup page;

    // Empties body and footer (formats, resources, undo stack); the page stays.
    void clear();

private:
    std::unique_ptr<QTextDocument> m_body;
    std::unique_ptr<QTextDocument> m_footer;
};

// A text document that never fetches a resource it was not given: pictures
// live inside the document as encoded bytes, and a file we read must not make
// us open other files or URLs it names. TxDocument's body and footer are these.
class SealedTextDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

// One merge field as found in a text document; positions are document
// positions, end exclusive.
struct FieldInfo {
    int id = 0;
    int start = 0;
    int end = 0;
    QString data;
    int kind = 0;
    bool changeable = false;
    bool deletable = false;
    QString text;
};

// Every field of the document (tables included), in document order. A field
// is the maximal run of adjacent characters with the same FieldId > 0.
std::vector<FieldInfo> fieldsOf(const QTextDocument& doc);
// The field with this id, or one with id 0 when there is none.
FieldInfo fieldById(const QTextDocument& doc, int id);
// The largest field id in use (0 when there is none), for choosing a new id.
int maxFieldId(const QTextDocument& doc);
// A character format that marks text as the given field.
QTextCharFormat fieldFormat(int id, const QString& data, int kind, bool changeable, bool deletable,
                            const QTextCharFormat& base = {});

// Pictures: a document keeps each picture as an image resource holding the
// encoded file bytes (PNG or JPEG), so that saving writes back what was read.
// Adds the bytes under a new unique name and returns the name, for use as
// QTextImageFormat::name(). Throws orv::Error when the bytes are no picture.
QString addImage(QTextDocument& doc, const QByteArray& encoded);
// The encoded bytes of a picture of the document (a QImage resource is
// encoded as PNG); empty when the document has no such picture.
QByteArray imageBytes(const QTextDocument& doc, const QString& name);

} // namespace orv::doc
