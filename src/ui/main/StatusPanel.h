#pragma once
#include <QWidget>

namespace orv::ui {

// The first panel of the status bar: the authority's pictogram and heading,
// drawn by the window itself whenever the panel is repainted.
class StatusPanel : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);
    // The heading drawn by the last paint, for checks.
    QString lastDrawnText() const { return m_lastDrawn; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_lastDrawn;
};

} // namespace orv::ui
