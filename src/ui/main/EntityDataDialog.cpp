#include "ui/main/EntityDataDialog.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orv::ui {
namespace {

constexpr int kBoxHeight = 21;
constexpr int kLabelX = 20;
constexpr int kBoxX = 95;

QRect labelAt(int x, int y, int w = 72) { return QRect(x, y + 3, w, 16); }
QRect boxAt(int x, int y, int w) { return QRect(x, y, w, kBoxHeight); }

} // namespace

TdlgConf::TdlgConf(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgConf"));
    setWindowTitle(QStringLiteral("Dati dell'Ente"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(436, 280);

    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::StyledPanel);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(8, 8, 420, 222);

    auto* comuneLabel = new QLabel(QStringLiteral("Comune / Comunità Mondana di:"), this);
    QFont bold = font();
    bold.setBold(true);
    comuneLabel->setFont(bold);
    comuneLabel->setGeometry(kLabelX, 16, 300, 16);
    ccomune = addBox("ccomune", {}, {}, boxAt(kLabelX, 34, 373), true);

    cvia = addBox("cvia", QStringLiteral("Via:"), labelAt(kLabelX, 64), boxAt(kBoxX, 64, 250), false);
    cnumero = addBox("cnumero", QStringLiteral("N.:"), labelAt(352, 64, 22), boxAt(375, 64, 38), false);
    ccitta = addBox("ccitta", QStringLiteral("Città:"), labelAt(kLabelX, 90), boxAt(kBoxX, 90, 250), false);
    cprovincia = addBox("cprovincia", QStringLiteral("Provincia:"), labelAt(kLabelX, 116), boxAt(kBoxX, 116, 250), false);
    ctelefono = addBox("ctelefono", QStringLiteral("Telefono:"), labelAt(kLabelX, 142), boxAt(kBoxX, 142, 144), false);
    cfax = addBox("cfax", QStringLiteral("Fax.:"), labelAt(248, 142, 30), boxAt(280, 142, 139), false);
    cmail = addBox("cmail", QStringLiteral("E-Mail:"), labelAt(kLabelX, 168), boxAt(kBoxX, 168, 324), false);
    cservizio = addBox("cservizio", QStringLiteral("Servizio:"), labelAt(kLabelX, 194), boxAt(kBoxX, 194, 324), true);

    buildButtons();
    // The service box comes after the two buttons in tab order.
    QWidget* order[] = {ccomune, cvia, cnumero, ccitta, cprovincia, ctelefono, cfax, cmail, OKBtn, CancelBtn, cservizio};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

QLineEdit* TdlgConf::addBox(const char* name, const QString& label, QRect labelRect, QRect boxRect, bool upperCase)
{
    if (!label.isEmpty()) {
        auto* l = new QLabel(label, this);
        l->setGeometry(labelRect);
    }
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(boxRect);
    box->installEventFilter(this);
    if (upperCase) {
        connect(box, &QLineEdit::textEdited, box, [box](const QString& text) {
            const QString upper = text.toUpper();
            if (upper == text)
                return;
            const int cursor = box->cursorPosition();
            box->setText(upper);
            box->setCursorPosition(cursor);
        });
    }
    return box;
}

void TdlgConf::buildButtons()
{
    OKBtn = new QPushButton(QStringLiteral("&Salva e Esci"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(250, 244, 90, 25);
    CancelBtn = new QPushButton(QStringLiteral("&Annulla"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(346, 244, 82, 25);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TdlgConf::setValues(const EntityData& d)
{
    ccomune->setText(d.COMUNE);
    cvia->setText(d.VIA);
    cnumero->setText(d.NUMERO);
    ccitta->setText(d.CITTA);
    cprovincia->setText(d.PROVINCIA);
    ctelefono->setText(d.TELEFONO);
    cfax->setText(d.FAX);
    cmail->setText(d.MAIL);
    cservizio->setText(d.SERVIZIO);
}

EntityData TdlgConf::values() const
{
    EntityData d;
    d.COMUNE = ccomune->text();
    d.VIA = cvia->text();
    d.NUMERO = cnumero->text();
    d.CITTA = ccitta->text();
    d.PROVINCIA = cprovincia->text();
    d.TELEFONO = ctelefono->text();
    d.FAX = cfax->text();
    d.MAIL = cmail->text();
    d.SERVIZIO = cservizio->text();
    return d;
}

void TdlgConf::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TdlgConf::FormShow() { CancelBtn->setFocus(Qt::OtherFocusReason); }

void TdlgConf::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ccomuneKeyPress: Enter in any box moves on in tab order.
bool TdlgConf::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && qobject_cast<QLineEdit*>(watched)) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace orv::ui
