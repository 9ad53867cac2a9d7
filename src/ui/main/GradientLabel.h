#pragma once
#include <QColor>
#include <QWidget>

namespace orv::ui {

// A label on a gradient fill: the title band, the vertical titles beside the
// lists and the splash's titles. Vertical labels are written bottom to top.
class GradientLabel : public QWidget {
    Q_OBJECT
public:
    enum class Direction { Horizontal, Vertical };

    explicit GradientLabel(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    void setColors(const QColor& from, const QColor& to, Direction fill = Direction::Horizontal);
    void setTextColor(const QColor& color) { m_textColor = color; update(); }
    void setVerticalText(bool vertical) { m_vertical = vertical; updateGeometry(); update(); }
    // Raised text: a light copy under the text, one pixel up and left.
    void setRaised(bool raised) { m_raised = raised; update(); }
    void setAlignment(Qt::Alignment a) { m_alignment = a; update(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
    QColor m_from = Qt::white;
    QColor m_to = QColor(0, 0, 128);
    QColor m_textColor = Qt::blue;
    Direction m_fill = Direction::Horizontal;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_vertical = false;
    bool m_raised = false;
};

// A panel with a two-pixel border in its own colour: navy, or red while its
// area has the keyboard focus.
class FramePanel : public QWidget {
    Q_OBJECT
public:
    explicit FramePanel(QWidget* parent = nullptr);
    QColor frameColor() const { return m_color; }
    void setFrameColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_color;
};

inline const QColor kNavy(0, 0, 128);
inline const QColor kFocusRed(255, 0, 0);

} // namespace orv::ui
