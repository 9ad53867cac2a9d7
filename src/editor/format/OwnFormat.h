#pragma once
// Format 3, our own lossless format (grammar: docs/document-format.md).
#include "editor/format/Content.h"

namespace orv::doc::detail {

QByteArray writeOwnFormat(const Content& content);
// Parses and validates; throws orv::Error for damaged or unknown data.
Content readOwnFormat(const QByteArray& data);

} // namespace orv::doc::detail
