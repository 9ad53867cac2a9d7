#pragma once
// How a merge field is named outside our own format: RTF and .docx keep each
// field inside a bookmark whose name carries every attribute, e.g.
// "ORV12_16_10_COMUNE" (id 12, kind 16, changeable, not deletable). Data that
// is not plain letters and digits is written as "x" + UTF-8 in hex. Word and
// LibreOffice keep bookmarks through their own round trips.
#include <QString>
#include <optional>

namespace orv::doc::detail {

struct FieldAttrs {
    int id = 0;
    QString data;
    int kind = 0;
    bool changeable = false;
    bool deletable = false;
};

QString fieldBookmarkName(const FieldAttrs& f);
std::optional<FieldAttrs> parseFieldBookmarkName(const QString& name);

} // namespace orv::doc::detail
