#include "editor/format/TxDocument.h"

namespace orv::doc {

TxDocument::TxDocument() : m_body(std::make_unique<QTextDocument>()), m_footer(std::make_unique<QTextDocument>()) {}

} // namespace orv::doc
