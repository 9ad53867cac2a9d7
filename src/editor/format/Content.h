#pragma once
// The formats' common picture of a document: what the writers read out of a
// QTextDocument and what the readers build before the document is touched.
// A flow is the content of a frame: paragraphs, and tables that always stand
// between two paragraphs (QTextDocument keeps a block on either side).

#include <QByteArray>
#include <QString>
#include <QTextFormat>
#include <memory>
#include <vector>

class QTextDocument;

namespace orv::doc::detail {

struct Run {
    QTextCharFormat format;
    QString text; // no block separators; a picture is U+FFFC with a QTextImageFormat
};

struct Para {
    QTextBlockFormat blockFormat;
    // In the first paragraph of a table cell this is the cell's format
    // (QTextDocument stores both in the cell's first block separator), so the
    // builder does not apply it there.
    QTextCharFormat charFormat;
    int list = 0; // 1-based index into Story::lists, 0 = not in a list
    std::vector<Run> runs;
};

struct Flow;

struct Cell {
    int row = 0, col = 0, rowSpan = 1, colSpan = 1;
    QTextCharFormat format; // a QTextTableCellFormat
    std::unique_ptr<Flow> content;
};

struct Table {
    QTextTableFormat format;
    int rows = 0, cols = 0;
    std::vector<Cell> cells; // top-left cell of each span, row by row
};

struct Item {
    std::unique_ptr<Para> para;   // exactly one of the two is set
    std::unique_ptr<Table> table;
};

struct Flow {
    std::vector<Item> items; // Para ( Table Para+ )* ... always starts and ends with a Para
    Para& addPara();
    Table& addTable();
};

struct Picture {
    QString name; // the image resource name the image formats use
    QByteArray bytes;
};

struct Story {
    std::vector<QTextListFormat> lists;
    std::vector<Picture> pictures; // each document has its own names
    Flow flow;
};

struct Content {
    Story body;
    Story footer;
};

// Limits every reader enforces.
inline constexpr int kMaxTableDepth = 8;
inline constexpr int kMaxTableColumns = 1000;
inline constexpr qint64 kMaxTableCells = 100000;

// Reads a document out, with the pictures its image formats name.
Story extractStory(const QTextDocument& doc);
Content extract(const QTextDocument& body, const QTextDocument& footer);

// Throws orv::Error when the structure is impossible (spans overlapping or
// outside the table, a flow not starting with a paragraph ...).
void validate(const Flow& flow, int depth = 0);
// Replaces the document's content. Call validate() first.
void build(QTextDocument& doc, const Story& story);

// Text of a run or paragraph may not contain what QTextCursor::insertText
// turns into a block or frame boundary; these become a blank.
QString cleanRunText(const QString& text);

} // namespace orv::doc::detail
