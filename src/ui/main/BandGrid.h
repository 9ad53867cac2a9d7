#pragma once
#include <QTableView>
#include <QWidget>

class QLabel;

namespace orv::ui {

// A read-only list bound to one of the data module's models, with one band
// header above its column headers. Whole rows are selected; a row indicator
// marks the current row.
class TBandGrid : public QWidget {
    Q_OBJECT
public:
    explicit TBandGrid(const QString& name, QWidget* parent = nullptr);

    QString bandCaption() const;
    void setBandCaption(const QString& caption);
    QTableView* view() const { return m_view; }

    // Binds the list to a data source: its rows, its selection (which moves
    // the cursor), and the design widths of its columns; fixed columns
    // cannot be resized and the last column fills the width.
    void bind(QAbstractItemModel* model, QItemSelectionModel* selection, const QList<int>& widths,
              const QList<bool>& fixed);

signals:
    void entered();        // the list received the keyboard focus
    void doubleClicked();  // a row was double-clicked

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_band;
    QTableView* m_view;
};

} // namespace orv::ui
