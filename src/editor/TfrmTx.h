#pragma once
// The document editor window: one document file in the word-processing
// control, for viewing or editing, saved back into the same file.
//
// How a caller opens it (one instance for the whole run):
//   frm.Editable = true;                      // false: view only
//   frm.DocumentFile = folder + "actdoc.txm"; // document file (header + own format)
//   frm.setWindowTitle(title);
//   orv::dialogs().exec(&frm);                // modal; asks about unsaved changes on close
//   if (frm.Saved) ...                        // the file holds a document saved now
// The merge fields are filled from orv::entityData() at every activation.

#include <QMainWindow>
#include <QPrinter>

class QAction;
class QComboBox;
class QMenu;
class QToolBar;
class QToolButton;

namespace orv {

class TButtonBar;
class TRuler;
class TTextControl;
class TfrmInsertTab;

class TfrmTx : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmTx(QWidget* parent = nullptr);
    ~TfrmTx() override;

    // Interface with the caller.
    QString DocumentFile;
    bool Editable = false;
    bool Saved = false;
    // The window's own state.
    bool Modified = false;
    bool OpenPending = true;
    qint16 NextTableId = 10;

    // Operations.
    bool LoadFile(const QString& file, int format);
    void SaveFile(const QString& file);
    void ApplyEditState(bool editable);

    // Events of the window.
    void FormShow();
    void FormActivate();
    void FormClose();

    // Commands.
    void salvaClick();
    void btnstampaClick();
    void Impostastampante1Click();
    void btnWordImpClick();
    void btnWordExpClick();
    void btnInsertImageClick();
    void btnParClick();
    void copiaClick();
    void pastClick();
    void cutClick();
    void findClick();
    void zooChange(int index);
    void N501Click() { zoomMenu(0); }
    void N601Click() { zoomMenu(1); }
    void N701Click() { zoomMenu(2); }
    void N801Click() { zoomMenu(3); }
    void N901Click() { zoomMenu(4); }
    void N1001Click() { zoomMenu(5); }
    void N1101Click() { zoomMenu(6); }
    void N1201Click() { zoomMenu(7); }
    void esceClick();
    void btninstableClick();
    void ToolButton3Click();
    void btngridClick();

    // Events of the control.
    void tx1Change();
    void tx1FieldCreated(int id);
    void tx1FieldDeleted(int id);
    void tx1ObjectDeleted();
    void tx1TableCreated(int TableId, int& NewTableId);
    void tx1KeyPress(int& key);

    // Merge fields and the authoring commands (their buttons stay hidden).
    void FillMergeFields();
    void InsertMergeField(const QString& key);
    void WriteCaseNumberFooter();
    void btncomuneClick() { InsertMergeField(QStringLiteral("COMUNE")); }
    void btnprovClick() { InsertMergeField(QStringLiteral("PROVINCIA")); }
    void btncittaClick() { InsertMergeField(QStringLiteral("CITTA")); }
    void btnviaClick() { InsertMergeField(QStringLiteral("VIA")); }
    void btnnumClick() { InsertMergeField(QStringLiteral("NUMERO")); }
    void btnTelClick() { InsertMergeField(QStringLiteral("TELEFONO")); }
    void btnfaxClick() { InsertMergeField(QStringLiteral("FAX")); }
    void btnmailClick() { InsertMergeField(QStringLiteral("MAIL")); }
    void btnservizioClick() { InsertMergeField(QStringLiteral("SERVIZIO")); }
    void Button1Click() { WriteCaseNumberFooter(); }

    TTextControl* tx1 = nullptr;
    TButtonBar* bb1 = nullptr;
    TRuler* ruler1 = nullptr;
    QComboBox* zoo = nullptr;
    QToolBar* tbgrid = nullptr;
    TfrmInsertTab* frmInsertTab = nullptr;
    // The printer of print and printer set-up, kept for the whole run.
    QPrinter& printer() { return m_printer; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

private:
    void buildActions();
    void buildMenus();
    void buildToolBars();
    void zoomMenu(int index);
    void errorBox(const QString& text);
    QAction* action(const QString& name, const QString& text, const QString& hint, const QString& icon = {});
    QToolButton* toolButton(QToolBar* bar, QAction* a, const QString& name);

    QPrinter m_printer;
    bool m_waitCursor = false;
    bool m_activating = false;

    // Actions named after their menu entries; the toolbar buttons carry the
    // buttons' names.
    QAction* Salva1 = nullptr;
    QAction* Stampa1 = nullptr;
    QAction* Impostastampante1 = nullptr;
    QAction* ImportadaformatoWord1 = nullptr;
    QAction* EsportainWord1 = nullptr;
    QAction* Inserisciimmagine1 = nullptr;
    QAction* Paragrafo1 = nullptr;
    QAction* Impostazionerientri1 = nullptr;
    QAction* Copia1 = nullptr;
    QAction* Incolla1 = nullptr;
    QAction* actCut = nullptr;
    QAction* Taglia1 = nullptr;
    QAction* Trova1 = nullptr;
    QAction* Uscita1 = nullptr;
    QAction* Inserisci1 = nullptr;
    QAction* actFormatTable = nullptr;
    QAction* Formatta1 = nullptr;
    QAction* actGrid = nullptr;
    QAction* Visualizzagriglia1 = nullptr;
    QAction* zoomActions[8] = {};
    QAction* mergeActions[10] = {};
    QAction* sepSalva = nullptr;
    QAction* sepIncolla = nullptr;
    QAction* sepTrova = nullptr;
    QMenu* Tabelle = nullptr;
};

} // namespace orv
