#pragma once
// Small documents for the editor's tests, built through the document model
// and written with the formats' own functions.

#include "editor/format/DocumentIO.h"
#include "editor/format/TxDocument.h"

#include <QTextCursor>
#include <QTextDocument>

namespace orv::test {

struct Run {
    Run(const char* t) : text(QString::fromUtf8(t)) {}
    Run(QString t) : text(std::move(t)) {}
    Run(QString t, QString g, bool c = false, bool d = false, int k = 16)
        : text(std::move(t)), tag(std::move(g)), changeable(c), deletable(d), kind(k) {}
    QString text;
    QString tag; // empty: plain text
    bool changeable = false;
    bool deletable = false;
    int kind = 16;
};

inline void appendRuns(QTextDocument* d, const std::vector<Run>& runs)
{
    QTextCursor c(d);
    c.movePosition(QTextCursor::End);
    int nextId = doc::maxFieldId(*d) + 1;
    for (const Run& r : runs) {
        if (r.tag.isEmpty())
            c.insertText(r.text, QTextCharFormat());
        else
            c.insertText(r.text, doc::fieldFormat(nextId++, r.tag, r.kind, r.changeable, r.deletable));
    }
}

inline void writeDocument(const QString& path, const std::vector<Run>& body, const QString& footer = {},
                          const doc::PageSetup& page = {})
{
    doc::TxDocument d;
    d.page = page;
    appendRuns(d.body(), body);
    if (!footer.isEmpty())
        QTextCursor(d.footer()).insertText(footer);
    doc::saveDocumentFile(d, path);
}

} // namespace orv::test
