#include "editor/TxDialogs.h"

#include "platform/Dialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace orv {
namespace {

// Layout lengths are pixels at 96 dpi.
double pxToCm(double px) { return px / 96.0 * 2.54; }
double cmToPx(double cm) { return cm / 2.54 * 96.0; }
double pxToPt(double px) { return px * 72.0 / 96.0; }
double ptToPx(double pt) { return pt * 96.0 / 72.0; }

QDoubleSpinBox* spin(QWidget* parent, const QString& name, double min, double max, double value, const QString& suffix)
{
    auto* s = new QDoubleSpinBox(parent);
    s->setObjectName(name);
    s->setRange(min, max);
    s->setDecimals(2);
    s->setSingleStep(0.25);
    s->setSuffix(suffix);
    s->setValue(value);
    return s;
}

QDialogButtonBox* okCancel(QDialog* dlg)
{
    auto* box = new QDialogButtonBox(dlg);
    auto* ok = box->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    box->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("btnCancel"));
    QObject::connect(box, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    return box;
}

} // namespace

bool TxParagraphDialog::edit(QWidget* parent, QTextBlockFormat& f)
{
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("dlgParagraph"));
    dlg.setWindowTitle(QStringLiteral("Paragrafo"));
    auto* lay = new QVBoxLayout(&dlg);
    auto* form = new QFormLayout;
    lay->addLayout(form);

    auto* align = new QComboBox(&dlg);
    align->setObjectName(QStringLiteral("cboAlign"));
    const std::pair<const char*, Qt::Alignment> aligns[] = {
        {"A sinistra", Qt::AlignLeft}, {"Centrato", Qt::AlignHCenter}, {"A destra", Qt::AlignRight}, {"Giustificato", Qt::AlignJustify}};
    for (const auto& [text, a] : aligns)
        align->addItem(QString::fromUtf8(text), int(a));
    const int cur = align->findData(int(f.alignment() & Qt::AlignHorizontal_Mask));
    align->setCurrentIndex(cur < 0 ? 0 : cur);
    form->addRow(QStringLiteral("Allineamento:"), align);

    auto* left = spin(&dlg, QStringLiteral("spnLeft"), 0, 30, pxToCm(f.leftMargin()), QStringLiteral(" cm"));
    auto* right = spin(&dlg, QStringLiteral("spnRight"), 0, 30, pxToCm(f.rightMargin()), QStringLiteral(" cm"));
    auto* first = spin(&dlg, QStringLiteral("spnFirst"), -30, 30, pxToCm(f.textIndent()), QStringLiteral(" cm"));
    form->addRow(QStringLiteral("Rientro sinistro:"), left);
    form->addRow(QStringLiteral("Rientro destro:"), right);
    form->addRow(QStringLiteral("Prima riga:"), first);
    auto* before = spin(&dlg, QStringLiteral("spnBefore"), 0, 200, pxToPt(f.topMargin()), QStringLiteral(" pt"));
    auto* after = spin(&dlg, QStringLiteral("spnAfter"), 0, 200, pxToPt(f.bottomMargin()), QStringLiteral(" pt"));
    form->addRow(QStringLiteral("Spazio prima:"), before);
    form->addRow(QStringLiteral("Spazio dopo:"), after);

    auto* spacing = new QComboBox(&dlg);
    spacing->setObjectName(QStringLiteral("cboSpacing"));
    spacing->addItem(QStringLiteral("Singola"), 100);
    spacing->addItem(QStringLiteral("1,5 righe"), 150);
    spacing->addItem(QStringLiteral("Doppia"), 200);
    const int lh = f.lineHeightType() == QTextBlockFormat::ProportionalHeight ? int(f.lineHeight()) : 100;
    const int si = spacing->findData(lh);
    spacing->setCurrentIndex(si < 0 ? 0 : si);
    form->addRow(QStringLiteral("Interlinea:"), spacing);
    lay->addWidget(okCancel(&dlg));

    if (dialogs().exec(&dlg) != QDialog::Accepted)
        return false;
    f.setAlignment(Qt::Alignment(align->currentData().toInt()));
    f.setLeftMargin(cmToPx(left->value()));
    f.setRightMargin(cmToPx(right->value()));
    f.setTextIndent(cmToPx(first->value()));
    f.setTopMargin(ptToPx(before->value()));
    f.setBottomMargin(ptToPx(after->value()));
    f.setLineHeight(spacing->currentData().toInt(), QTextBlockFormat::ProportionalHeight);
    return true;
}

bool TxTableFormatDialog::edit(QWidget* parent, int columns, double textWidth, QTextTableFormat& f)
{
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("dlgTableFormat"));
    dlg.setWindowTitle(QStringLiteral("Formato tabella"));
    auto* lay = new QVBoxLayout(&dlg);

    auto* borders = new QGroupBox(QStringLiteral("Bordi"), &dlg);
    auto* bform = new QFormLayout(borders);
    auto* width = spin(borders, QStringLiteral("spnBorder"), 0, 10, pxToPt(f.border()), QStringLiteral(" pt"));
    auto* padding = spin(borders, QStringLiteral("spnPadding"), 0, 30, pxToPt(f.cellPadding()), QStringLiteral(" pt"));
    bform->addRow(QStringLiteral("Spessore del bordo:"), width);
    bform->addRow(QStringLiteral("Margine delle celle:"), padding);
    lay->addWidget(borders);

    auto* cols = new QGroupBox(QStringLiteral("Larghezza delle colonne (0 = automatica)"), &dlg);
    auto* inner = new QWidget;
    auto* cform = new QFormLayout(inner);
    const QList<QTextLength> constraints = f.columnWidthConstraints();
    std::vector<QDoubleSpinBox*> spins;
    for (int i = 0; i < columns; ++i) {
        double cm = 0;
        if (i < constraints.size()) {
            const QTextLength& l = constraints[i];
            if (l.type() == QTextLength::FixedLength)
                cm = pxToCm(l.rawValue());
            else if (l.type() == QTextLength::PercentageLength)
                cm = pxToCm(textWidth * l.rawValue() / 100.0);
        }
        auto* s = spin(inner, QStringLiteral("spnCol%1").arg(i + 1), 0, 60, cm, QStringLiteral(" cm"));
        spins.push_back(s);
        cform->addRow(QStringLiteral("Colonna %1:").arg(i + 1), s);
    }
    auto* scroll = new QScrollArea(cols);
    scroll->setWidget(inner);
    scroll->setWidgetResizable(true);
    scroll->setMinimumHeight(std::min(columns, 6) * 30 + 10);
    auto* clay = new QVBoxLayout(cols);
    clay->addWidget(scroll);
    lay->addWidget(cols);
    lay->addWidget(okCancel(&dlg));

    if (dialogs().exec(&dlg) != QDialog::Accepted)
        return false;
    f.setBorder(ptToPx(width->value()));
    f.setBorderStyle(width->value() > 0 ? QTextFrameFormat::BorderStyle_Solid : QTextFrameFormat::BorderStyle_None);
    f.setBorderBrush(Qt::black);
    f.setCellPadding(ptToPx(padding->value()));
    QList<QTextLength> widths;
    for (QDoubleSpinBox* s : spins)
        widths << (s->value() > 0 ? QTextLength(QTextLength::FixedLength, cmToPx(s->value())) : QTextLength());
    f.setColumnWidthConstraints(widths);
    bool anyFixed = false;
    for (const QTextLength& l : widths)
        anyFixed |= l.type() == QTextLength::FixedLength;
    if (anyFixed)
        f.setWidth(QTextLength());
    return true;
}

} // namespace orv
