#include "editor/format/Content.h"

#include "editor/format/TxDocument.h"
#include "platform/Error.h"

#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

namespace orv::doc::detail {

Para& Flow::addPara()
{
    Item it;
    it.para = std::make_unique<Para>();
    items.push_back(std::move(it));
    return *items.back().para;
}

Table& Flow::addTable()
{
    Item it;
    it.table = std::make_unique<Table>();
    items.push_back(std::move(it));
    return *items.back().table;
}

QString cleanRunText(const QString& text)
{
    QString out = text;
    for (QChar& ch : out) {
        const char16_t u = ch.unicode();
        if (u == '\n' || u == '\r' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            ch = QLatin1Char(' ');
    }
    return out;
}

namespace {

template <class F>
F withoutObjectIndex(F f)
{
    // The object index points into one document's object table; it means
    // nothing in another document.
    f.clearProperty(QTextFormat::ObjectIndex);
    return f;
}

struct Extractor {
    std::vector<Picture>* pictures;
    QHash<QTextList*, int> listIndex;
    Story* story;
    QSet<QString> seenPictures;
    const QTextDocument* doc;

    void para(Flow& flow, const QTextBlock& block)
    {
        Para& p = flow.addPara();
        p.blockFormat = withoutObjectIndex(block.blockFormat());
        p.charFormat = withoutObjectIndex(block.charFormat());
        if (QTextList* list = block.textList()) {
            auto found = listIndex.find(list);
            if (found == listIndex.end()) {
                story->lists.push_back(withoutObjectIndex(list->format()));
                found = listIndex.insert(list, int(story->lists.size()));
            }
            p.list = *found;
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            const QTextCharFormat f = withoutObjectIndex(frag.charFormat());
            if (!p.runs.empty() && p.runs.back().format == f) {
                p.runs.back().text += frag.text();
            } else {
                p.runs.push_back({f, frag.text()});
            }
            if (f.isImageFormat() && pictures) {
                const QString name = f.toImageFormat().name();
                if (!seenPictures.contains(name)) {
                    seenPictures.insert(name);
                    const QByteArray bytes = imageBytes(*doc, name);
                    if (!bytes.isEmpty())
                        pictures->push_back({name, bytes});
                }
            }
        }
    }

    void table(Flow& flow, QTextTable* t)
    {
        Table& out = flow.addTable();
        out.format = withoutObjectIndex(t->format());
        out.rows = t->rows();
        out.cols = t->columns();
        for (int r = 0; r < out.rows; ++r)
            for (int c = 0; c < out.cols; ++c) {
                const QTextTableCell cell = t->cellAt(r, c);
                if (!cell.isValid() || cell.row() != r || cell.column() != c)
                    continue;
                Cell oc;
                oc.row = r;
                oc.col = c;
                oc.rowSpan = cell.rowSpan();
                oc.colSpan = cell.columnSpan();
                oc.format = withoutObjectIndex(cell.format());
                oc.content = std::make_unique<Flow>();
                for (auto it = cell.begin(); !it.atEnd(); ++it)
                    item(*oc.content, it);
                out.cells.push_back(std::move(oc));
            }
    }

    void item(Flow& flow, const QTextFrame::iterator& it)
    {
        if (QTextFrame* f = it.currentFrame()) {
            if (auto* t = qobject_cast<QTextTable*>(f))
                table(flow, t);
            else // a plain frame (from pasted HTML): keep its text in line
                for (auto inner = f->begin(); !inner.atEnd(); ++inner)
                    item(flow, inner);
        } else if (it.currentBlock().isValid()) {
            para(flow, it.currentBlock());
        }
    }
};

struct Builder {
    QTextDocument& doc;
    const Story& story;
    std::vector<QTextList*> lists;

    void flow(QTextCursor& c, const Flow& f, bool inCell)
    {
        bool fresh = true;      // the cursor's block is there and still unwritten
        bool firstOfCell = inCell;
        for (const Item& item : f.items) {
            if (item.para) {
                const Para& p = *item.para;
                if (fresh) {
                    c.setBlockFormat(p.blockFormat);
                    if (!firstOfCell)
                        c.setBlockCharFormat(p.charFormat);
                } else {
                    c.insertBlock(p.blockFormat, p.charFormat);
                }
                fresh = false;
                firstOfCell = false;
                if (p.list > 0 && p.list <= int(story.lists.size())) {
                    QTextList*& l = lists[size_t(p.list - 1)];
                    if (l)
                        l->add(c.block());
                    else
                        l = c.createList(story.lists[size_t(p.list - 1)]);
                }
                for (const Run& r : p.runs)
                    c.insertText(r.text, r.format);
            } else {
                const Table& t = *item.table;
                QTextTable* qt = c.insertTable(t.rows, t.cols, t.format);
                for (const Cell& cell : t.cells)
                    if (cell.rowSpan > 1 || cell.colSpan > 1)
                        qt->mergeCells(cell.row, cell.col, cell.rowSpan, cell.colSpan);
                for (const Cell& cell : t.cells) {
                    QTextTableCell qc = qt->cellAt(cell.row, cell.col);
                    qc.setFormat(cell.format);
                    QTextCursor cc = qc.firstCursorPosition();
                    if (cell.content)
                        flow(cc, *cell.content, true);
                }
                c.setPosition(qt->lastPosition() + 1);
                fresh = true;
                firstOfCell = false;
            }
        }
    }
};

void validateTable(const Table& t, int depth)
{
    if (t.rows < 1 || t.cols < 1 || t.cols > kMaxTableColumns || qint64(t.rows) * t.cols > kMaxTableCells)
        throw Error(QStringLiteral("Documento danneggiato: tabella di dimensioni non valide"));
    std::vector<char> taken(size_t(t.rows) * size_t(t.cols), 0);
    for (const Cell& c : t.cells) {
        if (c.row < 0 || c.col < 0 || c.rowSpan < 1 || c.colSpan < 1 || c.row >= t.rows || c.col >= t.cols
            || c.rowSpan > t.rows - c.row || c.colSpan > t.cols - c.col)
            throw Error(QStringLiteral("Documento danneggiato: cella fuori dalla tabella"));
        for (int r = c.row; r < c.row + c.rowSpan; ++r)
            for (int k = c.col; k < c.col + c.colSpan; ++k) {
                char& slot = taken[size_t(r) * size_t(t.cols) + size_t(k)];
                if (slot)
                    throw Error(QStringLiteral("Documento danneggiato: celle sovrapposte"));
                slot = 1;
            }
        if (c.content)
            validate(*c.content, depth + 1);
    }
}

} // namespace

void validate(const Flow& flow, int depth)
{
    if (depth > kMaxTableDepth)
        throw Error(QStringLiteral("Documento danneggiato: tabelle annidate troppo in profondità"));
    if (flow.items.empty() || !flow.items.front().para || !flow.items.back().para)
        throw Error(QStringLiteral("Documento danneggiato: struttura del testo non valida"));
    bool lastWasTable = false;
    for (const Item& it : flow.items) {
        if (bool(it.para) == bool(it.table))
            throw Error(QStringLiteral("Documento danneggiato: struttura del testo non valida"));
        if (it.table) {
            if (lastWasTable)
                throw Error(QStringLiteral("Documento danneggiato: struttura del testo non valida"));
            validateTable(*it.table, depth);
        }
        lastWasTable = bool(it.table);
    }
}

Story extractStory(const QTextDocument& doc)
{
    Story story;
    Extractor ex{&story.pictures, {}, &story, {}, &doc};
    QTextFrame* root = doc.rootFrame();
    for (auto it = root->begin(); !it.atEnd(); ++it)
        ex.item(story.flow, it);
    if (story.flow.items.empty())
        story.flow.addPara();
    return story;
}

Content extract(const QTextDocument& body, const QTextDocument& footer)
{
    Content c;
    c.body = extractStory(body);
    c.footer = extractStory(footer);
    return c;
}

void build(QTextDocument& doc, const Story& story)
{
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    for (const Picture& p : story.pictures)
        doc.addResource(QTextDocument::ImageResource, QUrl(p.name), p.bytes);
    Builder b{doc, story, std::vector<QTextList*>(story.lists.size(), nullptr)};
    QTextCursor c(&doc);
    c.beginEditBlock();
    b.flow(c, story.flow, false);
    c.endEditBlock();
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
}

} // namespace orv::doc::detail
