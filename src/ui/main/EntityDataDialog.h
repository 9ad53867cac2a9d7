#pragma once
#include "platform/EntityData.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace orv::ui {

// "Dati dell'Ente": the authority's data, edited in nine boxes. Enter moves
// to the next control; Escape does nothing, because neither button is the
// dialog's cancel button.
class TdlgConf : public QDialog {
    Q_OBJECT
public:
    explicit TdlgConf(QWidget* parent = nullptr);

    void setValues(const EntityData& data);
    EntityData values() const;

    QLineEdit* ccomune = nullptr;
    QLineEdit* cvia = nullptr;
    QLineEdit* cnumero = nullptr;
    QLineEdit* ccitta = nullptr;
    QLineEdit* cprovincia = nullptr;
    QLineEdit* ctelefono = nullptr;
    QLineEdit* cfax = nullptr;
    QLineEdit* cmail = nullptr;
    QLineEdit* cservizio = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* addBox(const char* name, const QString& label, QRect labelRect, QRect boxRect, bool upperCase);
    void buildButtons();
    void FormShow();
};

} // namespace orv::ui
