#include "ui/main/StatusPanel.h"

#include "platform/EntityData.h"
#include "ui/main/Icons.h"

#include <QPainter>

namespace orv::ui {

StatusPanel::StatusPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatusBar1Panel0"));
    setFixedSize(400, 18);
}

// StatusBar1DrawPanel: button face, the pictogram at the top-left corner,
// the heading in bold black Tahoma 20 pixels in.
void StatusPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    QFont f(QStringLiteral("Tahoma"), 8);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawPixmap(0, 0, statusBarPicture(1));
    m_lastDrawn = entityHeading();
    p.drawText(QRect(20, 1, width() - 20, height() - 1), Qt::AlignLeft | Qt::AlignTop, m_lastDrawn);
}

} // namespace orv::ui
