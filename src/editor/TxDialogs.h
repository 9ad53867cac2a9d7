#pragma once
// The control's own paragraph and table-format dialogs. Each is shown
// modally through orv::dialogs() and changes the format only when confirmed.

#include <QTextBlockFormat>
#include <QTextTableFormat>

class QWidget;

namespace orv {

struct TxParagraphDialog {
    // Alignment, indents (cm), spacing before and after (pt), line spacing.
    static bool edit(QWidget* parent, QTextBlockFormat& format);
};

struct TxTableFormatDialog {
    // Border width and padding (pt) and the column widths (cm, 0 = automatic).
    static bool edit(QWidget* parent, int columns, double textWidth, QTextTableFormat& format);
};

} // namespace orv
