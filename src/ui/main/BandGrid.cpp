#include "ui/main/BandGrid.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

namespace orv::ui {

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
    m_view->verticalHeader()->setVisible(true); // the row indicator
    m_view->verticalHeader()->setDefaultSectionSize(20);
    m_view->verticalHeader()->setFixedWidth(14);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setHighlightSections(false);
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
