#pragma once
#include "data/Tdm.h"

#include <QDialog>

class QLabel;
class QProgressBar;

namespace orv::ui {

// "Attendere prego ...": shown while the open check repairs a table.
class TDlgDPDbOnProgress : public QDialog, public RepairProgressView {
    Q_OBJECT
public:
    explicit TDlgDPDbOnProgress(QWidget* parent = nullptr);

    void show() override;
    void setText(const QString& text) override;
    void setPercent(int percent) override;
    void close() override;

    QLabel* LabInfo = nullptr;
    QProgressBar* ProgressGauge = nullptr;
};

// The factory the data module calls for each repair.
RepairProgressFactory repairProgressFactory();

} // namespace orv::ui
