#pragma once
#include "platform/Dialogs.h"

namespace orv {

// The real dialogs, as the user sees them.
class QtDialogs final : public Dialogs {
public:
    int message(const MessageRequest& request) override;
    std::optional<QString> input(const InputRequest& request) override;
    std::optional<QString> file(FileRequest& request) override;
    bool print(PrintRequest& request) override;
    bool printerSetup(QPrinter* printer) override;
    int exec(QObject* window) override;
};

// Converts "Desc (*.a)|*.a|Other|*.b" into Qt's "Desc (*.a);;Other (*.b)".
QString qtFileFilter(const QString& windowsFilter);

} // namespace orv
