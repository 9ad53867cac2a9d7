#pragma once
// The word-processing control: a page view over the document model
// (editor/format/TxDocument.h) with editing, merge fields, tables, pictures,
// a page footer and printing. Its properties and operations keep the names
// the editor window uses; positions are QTextDocument positions of the part
// being edited (the body, or the footer while it is activated).

#include "editor/format/TxDocument.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <QTextCursor>
#include <QTimer>
#include <memory>
#include <vector>

class QMimeData;
class QPainter;
class QTextTable;

namespace orv {

class TButtonBar;
class TRuler;

// Table format property holding the table's id (given by OnTableCreated).
constexpr int TableIdProperty = QTextFormat::UserProperty + 200;

// Clipboard type carrying a fragment in the document's own format, so that
// copy and paste inside the editor keep merge fields.
inline constexpr const char* kFragmentMimeType = "application/x-orvanta-txfragment";

class TTextControl : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TTextControl(QWidget* parent = nullptr);
    ~TTextControl() override;

    doc::TxDocument& document() { return *m_doc; }
    QTextDocument* activeDocument() const;
    QTextCursor textCursor() const { return m_cursor; }

    // --- Properties -------------------------------------------------------
    void setButtonBarHandle(TButtonBar* bar);
    TButtonBar* ButtonBarHandle() const;
    void setRulerHandle(TRuler* ruler);
    TRuler* RulerHandle() const;

    int ZoomFactor() const { return m_zoom; }
    void setZoomFactor(int percent);
    int PrintZoom() const { return m_printZoom; }
    void setPrintZoom(int percent);
    int EditMode() const { return m_editMode; } // 0 edit, 1 read only
    void setEditMode(int mode);
    int ViewMode() const { return m_viewMode; }
    void setViewMode(int mode) { m_viewMode = mode; }
    bool TableGridLines() const { return m_gridLines; }
    void setTableGridLines(bool on);

    // Page size and margins in twips.
    int PageWidth() const { return m_doc->page.width; }
    int PageHeight() const { return m_doc->page.height; }
    int PageMarginL() const { return m_doc->page.marginLeft; }
    int PageMarginT() const { return m_doc->page.marginTop; }
    int PageMarginR() const { return m_doc->page.marginRight; }
    int PageMarginB() const { return m_doc->page.marginBottom; }
    void setPageWidth(int twips);
    void setPageHeight(int twips);
    void setPageMarginL(int twips);
    void setPageMarginT(int twips);
    void setPageMarginR(int twips);
    void setPageMarginB(int twips);

    int SelStart() const;
    void setSelStart(int pos);
    int SelLength() const;
    void setSelLength(int length); // -1 selects to the end
    QString SelText() const;
    void setSelText(const QString& text); // replaces the selection, like typing

    int CurrentPages();
    QPainter* PrintDevice() const { return m_printDevice; }
    void setPrintDevice(QPainter* painter) { m_printDevice = painter; }

    int FieldCurrent() const { return m_fieldCurrent; }
    void setFieldCurrent(int id);
    bool FieldChangeable();
    void setFieldChangeable(bool on);
    bool FieldDeleteable();
    void setFieldDeleteable(bool on);
    QString FieldText();
    void setFieldText(const QString& text);
    int FieldStart(); // 1-based position of the first character
    int FieldEnd();   // 1-based position of the last character
    int FieldAtInputPos();

    QString ImageFilters() const;
    int HeaderFooter() const { return m_headerFooter; }
    void setHeaderFooter(int parts) { m_headerFooter = parts; }

    // --- Operations -------------------------------------------------------
    void LoadDocument(const QString& fileName, qint64 offset, int format, bool selectionOnly = false);
    void SaveDocument(const QString& fileName, qint64 offset, int format, bool selectionOnly = false);
    int DocumentAttribute(int index) const;
    void setDocumentAttribute(int index, int value);

    int NextFieldId(int id, int group = 0);
    QString FieldTag(int id);
    void setFieldTag(int id, const QString& data);
    int FieldKindCode(int id);
    void setFieldKindCode(int id, int kind);
    void InsertFieldWithText(const QString& text);
    void DeleteCurrentField(bool withText = true);

    void PrintOnePage(int page);
    void ClipboardAction(int action); // 1 cut, 2 copy, 3 paste
    bool FindText(const QString& text, int start = -1, int options = 0);
    void InsertImageFile(int, const QString& fileName, int pos, int scaleX, int scaleY, int, int, int);
    void InsertTableAt(int rows, int columns, int pos, int id);
    void ShowParagraphDialog();
    void ShowTableFormatDialog();
    void ActivateHeaderFooterPart(int part); // 4 footer, 0 back to the body
    bool footerActive() const { return m_footerActive; }

    // Character and paragraph formatting (button bar, ruler).
    void mergeCharFormat(const QTextCharFormat& format);
    void mergeBlockFormat(const QTextBlockFormat& format);

    // The clipboard contents for a selection, and its insertion.
    QMimeData* createMimeData() const;
    void insertFromMimeData(const QMimeData* data);

    // Geometry of the page view in layout pixels (1 px = 15 twips).
    static constexpr double kTwipsPerPixel = 15.0;

signals:
    void OnChange();
    void OnFieldCreated(int id);
    void OnFieldDeleted(int id);
    void OnObjectDeleted();
    void OnTableCreated(int tableId, int& newTableId);
    // The character of a key (8 Backspace, 13 Enter); a handler may set it to
    // 0 to swallow the key.
    void OnKeyPress(int& key);
    void cursorMoved();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct FieldSpan {
        int id = 0;
        int start = 0; // first position
        int end = 0;   // one past the last
        QTextCharFormat format;
    };
    struct PageGeometry {
        double pageW, pageH, left, top, contentW, contentH, bottom;
    };

    // Fields of the active part, in document order (cached until an edit).
    const std::vector<FieldSpan>& fields();
    const FieldSpan* findField(int id);
    const FieldSpan* currentField();
    int fieldIdAt(int pos) const;
    int nextFreeFieldId();
    static void makeFieldIdsUnique(doc::TxDocument& d);
    void setFieldProperty(int id, int property, const QVariant& value);

    bool canRemove(int from, int to);
    bool insertionFieldFormat(int pos, QTextCharFormat* format, bool* insideField);
    void removeRange(QTextCursor& c);
    bool deleteSelectionChecked();
    void insertTyped(const QString& text);
    void deleteChar(bool backwards);
    void insertBlockChecked();

    PageGeometry geometry() const;
    void relayout();
    void updateScrollBars();
    double viewGap() const { return 16.0; }
    double pageTopInView(int page) const;
    QPointF viewOrigin() const;
    QPointF widgetToView(const QPointF& p) const;
    int hitTest(const QPointF& widgetPos, bool* inFooter = nullptr) const;
    QRectF caretRectInView() const;
    void ensureCursorVisible();
    void drawPage(QPainter* p, int page, bool forPrint, const QRectF& exposedInPage);
    void drawTableGrid(QPainter* p, QTextDocument* doc, const QRectF& clip);
    double footerTop(const PageGeometry& g) const;

    void setCursor(const QTextCursor& c);
    void cursorChanged();
    void syncBarAndRuler();
    bool readOnly() const { return m_editMode != 0; }
    void raiseChange();
    void connectDocument(QTextDocument* d);
    template <typename F> void silently(F&& f);

    std::unique_ptr<doc::TxDocument> m_doc;
    QTextCursor m_cursor;
    QTextCursor m_bodyCursor; // kept while the footer is being edited
    bool m_footerActive = false;
    int m_footerPage = 0; // the page whose footer shows the caret
    QImage m_layoutDevice; // fixed 96 dpi: the layout never depends on the screen

    QPointer<TButtonBar> m_bar;
    QPointer<TRuler> m_ruler;
    int m_zoom = 100;
    int m_printZoom = 100;
    int m_editMode = 0;
    int m_viewMode = 2;
    bool m_gridLines = false;
    int m_headerFooter = 0;
    QPainter* m_printDevice = nullptr;
    int m_fieldCurrent = 0;
    doc::PageSetup m_attributes; // DocumentAttribute 0-5

    std::vector<FieldSpan> m_fields;
    bool m_fieldsDirty = true;
    int m_silent = 0; // > 0 while the control changes the text on the caller's behalf

    QTimer m_blink;
    bool m_caretOn = true;
    bool m_selecting = false;
};

} // namespace orv
