#include "ui/main/BandGrid.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace orv::ui {
namespace {

// The row indicator: a narrow column that marks the current row with a
// small triangle instead of numbering the rows.
class RowIndicator : public QHeaderView {
public:
    explicit RowIndicator(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

protected:
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override
    {
        p->save();
        p->fillRect(rect, palette().button());
        p->setPen(palette().mid().color());
        p->drawLine(rect.topRight(), rect.bottomRight());
        p->drawLine(rect.bottomLeft(), rect.bottomRight());
        const QItemSelectionModel* selection = selectionModel();
        if (selection && selection->currentIndex().isValid() && selection->currentIndex().row() == logicalIndex) {
            const QPoint c = rect.center();
            const QPolygon triangle({QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()), QPoint(c.x() - 2, c.y() + 4)});
            p->setBrush(Qt::black);
            p->setPen(Qt::NoPen);
            p->drawPolygon(triangle);
        }
        p->restore();
    }
};

} // namespace

TBandGrid::TBandGrid(const QString& name, QWidget* parent)
    : QWidget(parent), m_band(new QLabel(this)), m_view(new QTableView(this))
{
    setObjectName(name);
    m_view->setObjectName(name + QStringLiteral("View"));
    m_band->setObjectName(name + QStringLiteral("Band"));
    QFont bandFont(QStringLiteral("Tahoma"), 9);
    bandFont.setBold(true);
    m_band->setFont(bandFont);
    m_band->setStyleSheet(QStringLiteral(
        "QLabel { color: navy; background: palette(button); border: 1px solid palette(mid);"
        " padding: 2px 4px; }"));

    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(false);
    m_view->setVerticalHeader(new RowIndicator(m_view));
    m_view->verticalHeader()->setVisible(true);
    m_view->verticalHeader()->setDefaultSectionSize(20);
    m_view->verticalHeader()->setFixedWidth(14);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setHighlightSections(false);
    // The height comes from the font, not from the sections' size hints,
    // which carry design widths only.
    m_view->horizontalHeader()->setFixedHeight(QFontMetrics(m_view->font()).height() + 8);
    m_view->setWordWrap(true);
    m_view->setStyleSheet(QStringLiteral("QHeaderView::section:horizontal { color: navy; }"));
    m_view->installEventFilter(this);
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this] { emit doubleClicked(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_band);
    layout->addWidget(m_view, 1);
}

QString TBandGrid::bandCaption() const { return m_band->text(); }

void TBandGrid::setBandCaption(const QString& caption) { m_band->setText(caption); }

void TBandGrid::bind(QAbstractItemModel* model, QItemSelectionModel* selection, const QList<int>& widths,
                     const QList<bool>& fixed)
{
    m_view->setModel(model);
    if (selection)
        m_view->setSelectionModel(selection);
    if (m_view->selectionModel())
        connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, m_view->verticalHeader()->viewport(),
                qOverload<>(&QWidget::update));
    QHeaderView* header = m_view->horizontalHeader();
    for (int i = 0; i < widths.size(); ++i) {
        m_view->setColumnWidth(i, widths[i]);
        if (i + 1 < widths.size())
            header->setSectionResizeMode(i, fixed.value(i) ? QHeaderView::Fixed : QHeaderView::Interactive);
    }
}

bool TBandGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::FocusIn)
        emit entered();
    return QWidget::eventFilter(watched, event);
}

} // namespace orv::ui
