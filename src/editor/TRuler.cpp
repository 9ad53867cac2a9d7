#include "editor/TRuler.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace orv {

namespace {
constexpr double kPixelsPerCm = 96 / 2.54;
}

TRuler::TRuler(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ruler1"));
    setFixedHeight(26);
    setMouseTracking(false);
}

void TRuler::setState(const State& state)
{
    if (m_drag != None)
        return; // the user is dragging: keep his picture
    m_state = state;
    update();
}

double TRuler::markerX(Marker m) const
{
    const State& s = m_state;
    switch (m) {
    case First: return toX(s.marginLeft + s.leftIndent + s.firstIndent);
    case Left: return toX(s.marginLeft + s.leftIndent);
    case Right: return toX(s.pageWidth - s.marginRight - s.rightIndent);
    default: return 0;
    }
}

void TRuler::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const State& s = m_state;
    p.fillRect(rect(), palette().window());
    const QRectF page(toX(0), 3, s.pageWidth * s.zoom, height() - 6);
    p.fillRect(page, QColor(205, 205, 205));
    p.fillRect(QRectF(toX(s.marginLeft), 3, (s.pageWidth - s.marginLeft - s.marginRight) * s.zoom, height() - 6), Qt::white);
    p.setPen(QColor(90, 90, 90));
    p.drawRect(page);

    QFont f = font();
    f.setPixelSize(9);
    p.setFont(f);
    // Ticks every half centimetre from the left margin, numbers every centimetre.
    for (int dir : {1, -1}) {
        for (int i = dir == 1 ? 0 : 1;; ++i) {
            const double px = s.marginLeft + dir * i * kPixelsPerCm / 2;
            if (px < 0 || px > s.pageWidth)
                break;
            const double x = toX(px);
            if (i % 2 == 0 && i > 0)
                p.drawText(QRectF(x - 10, 4, 20, 12), Qt::AlignCenter, QString::number(i / 2));
            else
                p.drawLine(QPointF(x, height() / 2.0 - 2), QPointF(x, height() / 2.0 + 2));
        }
    }

    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(s.editable ? QColor(120, 150, 210) : QColor(170, 170, 170));
    const double top = 3, bottom = height() - 3;
    auto triangle = [&](double x, bool down) {
        QPainterPath path;
        if (down) {
            path.moveTo(x - 5, top);
            path.lineTo(x + 5, top);
            path.lineTo(x, top + 7);
        } else {
            path.moveTo(x - 5, bottom - 4);
            path.lineTo(x + 5, bottom - 4);
            path.lineTo(x, bottom - 11);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    triangle(markerX(First), true);
    triangle(markerX(Left), false);
    p.drawRect(QRectF(markerX(Left) - 5, bottom - 4, 10, 4));
    triangle(markerX(Right), false);
}

void TRuler::mousePressEvent(QMouseEvent* e)
{
    if (!m_state.editable || e->button() != Qt::LeftButton)
        return;
    const double x = e->position().x();
    const bool upper = e->position().y() < height() / 2.0;
    Marker best = None;
    double bestDist = 7;
    for (Marker m : {First, Left, Right}) {
        if ((m == First) != upper && m != Right)
            continue;
        const double d = std::abs(markerX(m) - x);
        if (d < bestDist) {
            bestDist = d;
            best = m;
        }
    }
    m_drag = best;
}

void TRuler::mouseMoveEvent(QMouseEvent* e)
{
    if (m_drag == None)
        return;
    State& s = m_state;
    const double px = (e->position().x() - s.originX) / s.zoom;
    const double text = s.pageWidth - s.marginLeft - s.marginRight;
    switch (m_drag) {
    case First: s.firstIndent = std::clamp(px - s.marginLeft - s.leftIndent, -s.leftIndent, text - s.leftIndent - s.rightIndent - 20); break;
    case Left: s.leftIndent = std::clamp(px - s.marginLeft, 0.0, text - s.rightIndent - 20); break;
    case Right: s.rightIndent = std::clamp(s.pageWidth - s.marginRight - px, 0.0, text - s.leftIndent - 20); break;
    default: break;
    }
    update();
}

void TRuler::mouseReleaseEvent(QMouseEvent*)
{
    if (m_drag == None)
        return;
    m_drag = None;
    emit indentsChanged(m_state.leftIndent, m_state.firstIndent, m_state.rightIndent);
}

} // namespace orv
