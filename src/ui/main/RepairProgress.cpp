#include "ui/main/RepairProgress.h"

#include "platform/PendingMessages.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace orv::ui {

TDlgDPDbOnProgress::TDlgDPDbOnProgress(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DlgDPDbOnProgress"));
    setWindowTitle(QStringLiteral("Attendere prego ..."));
    setFixedSize(360, 90);
    LabInfo = new QLabel(this);
    LabInfo->setObjectName(QStringLiteral("LabInfo"));
    LabInfo->setWordWrap(true);
    ProgressGauge = new QProgressBar(this);
    ProgressGauge->setObjectName(QStringLiteral("ProgressGauge"));
    ProgressGauge->setRange(0, 100);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabInfo);
    layout->addWidget(ProgressGauge);
}

void TDlgDPDbOnProgress::show()
{
    QDialog::show();
    processMessages();
}

void TDlgDPDbOnProgress::setText(const QString& text) { LabInfo->setText(text); }

void TDlgDPDbOnProgress::setPercent(int percent)
{
    ProgressGauge->setValue(qBound(0, percent, 100));
    processMessages();
}

void TDlgDPDbOnProgress::close() { QDialog::close(); }

RepairProgressFactory repairProgressFactory()
{
    return [] { return std::make_unique<TDlgDPDbOnProgress>(); };
}

} // namespace orv::ui
