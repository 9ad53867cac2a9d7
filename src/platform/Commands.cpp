#include "platform/Commands.h"

namespace orv {

void showStandardError(const QString& text)
{
    dialogs().message({applicationTitle(), text, MessageIcon::Critical, mbOK, mbOK});
}

void showStandardError(const std::exception& e) { showStandardError(errorText(e)); }

} // namespace orv
