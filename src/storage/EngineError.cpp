#include "storage/EngineError.h"

namespace orv::storage {

bool isDamageCode(int c)
{
    switch (c) {
    case code::BlobDataEnded:
    case code::HeaderCorrupt:
    case code::RecordCorrupt:
    case code::BlobBlockCorrupt:
    case code::IndexCorrupt:
    case code::ReadFailed:
    case code::WriteFailed:
    case code::InvalidBlobOffset:
    case code::InvalidIndexField:
    case code::InvalidBlobLength:
        return true;
    default:
        return false;
    }
}

EngineError::EngineError(int c, const QString& message)
    : EngineError(QList<Entry>{{c, message}})
{
}

EngineError::EngineError(QList<Entry> errors)
    : orv::Error(errors.isEmpty() ? QString() : errors.first().message,
                 errors.isEmpty() ? 0 : errors.first().code),
      m_errors(std::move(errors))
{
}

} // namespace orv::storage
