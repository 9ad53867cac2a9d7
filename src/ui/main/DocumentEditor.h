#pragma once
#include <QString>

namespace orv::ui {

// The editor window as the main window uses it: the file to show, view or
// edit, the caption, a modal show, and whether the file was saved meanwhile.
class DocumentEditor {
public:
    virtual ~DocumentEditor() = default;
    virtual void setEditable(bool editable) = 0;
    virtual void setDocumentFile(const QString& path) = 0;
    virtual void setCaption(const QString& caption) = 0;
    // Shows the editor modally (through the dialogs seam) and returns when it closes.
    virtual void showModal() = 0;
    virtual bool saved() const = 0;
};

} // namespace orv::ui
