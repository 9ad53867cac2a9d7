#pragma once
// Zip packages in memory (for .docx), on libzip.
#include <QByteArray>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace orv::doc::detail {

class ZipReader {
public:
    // Throws orv::Error when the bytes are no zip archive.
    explicit ZipReader(const QByteArray& data);
    ~ZipReader();
    bool has(const QString& name) const;
    // The entry's bytes; throws when it is missing, damaged or larger than maxSize.
    QByteArray read(const QString& name, qint64 maxSize = 64 * 1024 * 1024) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Entries in the given order; stored with a fixed time so that equal
// documents give equal bytes.
QByteArray writeZip(const std::vector<std::pair<QString, QByteArray>>& entries);

} // namespace orv::doc::detail
