#pragma once
// The control's ruler: the page width with its margins, in centimetres, and
// the indents of the paragraph at the caret, which can be dragged.

#include <QWidget>

namespace orv {

class TRuler : public QWidget {
    Q_OBJECT
public:
    // Lengths in layout pixels (96 per inch) at zoom 1; originX is the x of
    // the page's left edge in the ruler's own coordinates.
    struct State {
        double originX = 0;
        double zoom = 1;
        double pageWidth = 794;
        double marginLeft = 96;
        double marginRight = 96;
        double leftIndent = 0;
        double firstIndent = 0; // relative to leftIndent
        double rightIndent = 0;
        bool editable = true;
    };

    explicit TRuler(QWidget* parent = nullptr);
    void setState(const State& state);
    const State& state() const { return m_state; }
    QSize sizeHint() const override { return {400, 26}; }

signals:
    void indentsChanged(double left, double first, double right);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    enum Marker { None, First, Left, Right };
    double toX(double px) const { return m_state.originX + px * m_state.zoom; }
    double markerX(Marker m) const;
    State m_state;
    Marker m_drag = None;
};

} // namespace orv
