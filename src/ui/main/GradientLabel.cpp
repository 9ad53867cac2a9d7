#include "ui/main/GradientLabel.h"

#include <QLinearGradient>
#include <QPainter>

namespace orv::ui {

GradientLabel::GradientLabel(const QString& text, QWidget* parent)
    : QWidget(parent), m_text(text)
{
}

void GradientLabel::setText(const QString& text)
{
    m_text = text;
    updateGeometry();
    update();
}

void GradientLabel::setColors(const QColor& from, const QColor& to, Direction fill)
{
    m_from = from;
    m_to = to;
    m_fill = fill;
    update();
}

QSize GradientLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    const QSize s(fm.horizontalAdvance(m_text) + 12, fm.height() + 6);
    return m_vertical ? s.transposed() : s;
}

void GradientLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRectF r = rect();
    QLinearGradient g = m_fill == Direction::Horizontal ? QLinearGradient(r.topLeft(), r.topRight())
                                                        : QLinearGradient(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, m_from);
    g.setColorAt(1, m_to);
    p.fillRect(r, g);
    p.setFont(font());
    QRectF textRect = r.adjusted(4, 2, -4, -2);
    if (m_vertical) {
        // Bottom to top: rotate the painter so the text reads upwards.
        p.translate(0, height());
        p.rotate(-90);
        textRect = QRectF(4, 2, height() - 8, width() - 4);
    }
    if (m_raised) {
        p.setPen(QColor(255, 255, 255, 200));
        p.drawText(textRect.translated(-1, -1), int(m_alignment), m_text);
    }
    p.setPen(m_textColor);
    p.drawText(textRect, int(m_alignment), m_text);
}

FramePanel::FramePanel(QWidget* parent) : QWidget(parent), m_color(kNavy)
{
    setContentsMargins(2, 2, 2, 2);
}

void FramePanel::setFrameColor(const QColor& color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

void FramePanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QPen pen(m_color, 2);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

} // namespace orv::ui
