#pragma once
#include "ui/main/DocumentEditor.h"

#include <memory>

namespace orv {
class TfrmTx;
}

namespace orv::ui {

// The program's editor window TfrmTx behind the DocumentEditor interface:
// one instance for the whole run, shown modally on one file at a time.
class TfrmTxEditor final : public DocumentEditor {
public:
    TfrmTxEditor();
    ~TfrmTxEditor() override;

    void setEditable(bool editable) override;
    void setDocumentFile(const QString& path) override;
    void setCaption(const QString& caption) override;
    void showModal() override;
    bool saved() const override;

    TfrmTx* window() const { return m_window.get(); }

private:
    std::unique_ptr<TfrmTx> m_window;
};

std::unique_ptr<DocumentEditor> createDocumentEditor();

} // namespace orv::ui
