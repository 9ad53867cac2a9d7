#pragma once
// The control's button bar: font, size, bold, italic, underline, colour and
// paragraph alignment. It shows the format at the caret and reports choices;
// the control applies them (TTextControl::setButtonBarHandle).

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QWidget>

class QComboBox;
class QFontComboBox;
class QToolButton;

namespace orv {

class TButtonBar : public QWidget {
    Q_OBJECT
public:
    explicit TButtonBar(QWidget* parent = nullptr);
    void showFormat(const QTextCharFormat& chars, const QTextBlockFormat& block, bool editable);

signals:
    void charFormatChosen(const QTextCharFormat& format);
    void alignmentChosen(Qt::Alignment alignment);

private:
    QToolButton* toggle(const QString& name, const QString& icon, const QString& hint);
    QFontComboBox* m_font;
    QComboBox* m_size;
    QToolButton* m_bold;
    QToolButton* m_italic;
    QToolButton* m_underline;
    QToolButton* m_color;
    QToolButton* m_align[4];
    bool m_updating = false;
};

} // namespace orv
