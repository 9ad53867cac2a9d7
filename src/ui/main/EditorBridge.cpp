#include "ui/main/EditorBridge.h"

#include "editor/TfrmTx.h"
#include "platform/Dialogs.h"

namespace orv::ui {

TfrmTxEditor::TfrmTxEditor() : m_window(std::make_unique<TfrmTx>()) {}

TfrmTxEditor::~TfrmTxEditor() = default;

void TfrmTxEditor::setEditable(bool editable) { m_window->Editable = editable; }

void TfrmTxEditor::setDocumentFile(const QString& path) { m_window->DocumentFile = path; }

void TfrmTxEditor::setCaption(const QString& caption) { m_window->setWindowTitle(caption); }

void TfrmTxEditor::showModal()
{
    // Saved speaks of this opening only.
    m_window->Saved = false;
    dialogs().exec(m_window.get());
}

bool TfrmTxEditor::saved() const { return m_window->Saved; }

std::unique_ptr<DocumentEditor> createDocumentEditor() { return std::make_unique<TfrmTxEditor>(); }

} // namespace orv::ui
