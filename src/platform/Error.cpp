#include "platform/Error.h"

namespace orv {

QString errorText(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const Error*>(&e))
        return own->message();
    return QString::fromLocal8Bit(e.what());
}

} // namespace orv
