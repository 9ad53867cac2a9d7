#include "editor/format/Zip.h"

#include "platform/Error.h"

#include <zip.h>

namespace orv::doc::detail {

namespace {
QString damaged()
{
    return QStringLiteral("Il file Word è danneggiato o non è un documento .docx");
}
} // namespace

struct ZipReader::Impl {
    QByteArray data;
    zip_t* archive = nullptr;
};

ZipReader::ZipReader(const QByteArray& data) : d(std::make_unique<Impl>())
{
    d->data = data;
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_buffer_create(d->data.constData(), zip_uint64_t(d->data.size()), 0, &err);
    if (!src) {
        zip_error_fini(&err);
        throw Error(damaged());
    }
    d->archive = zip_open_from_source(src, ZIP_RDONLY, &err);
    zip_error_fini(&err);
    if (!d->archive) {
        zip_source_free(src);
        throw Error(damaged());
    }
}

ZipReader::~ZipReader()
{
    if (d->archive)
        zip_discard(d->archive);
}

bool ZipReader::has(const QString& name) const
{
    return zip_name_locate(d->archive, name.toUtf8().constData(), 0) >= 0;
}

QByteArray ZipReader::read(const QString& name, qint64 maxSize) const
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(d->archive, name.toUtf8().constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        throw Error(damaged());
    if (st.size > zip_uint64_t(maxSize))
        throw Error(QStringLiteral("Il documento Word contiene una parte troppo grande"));
    zip_file_t* f = zip_fopen(d->archive, name.toUtf8().constData(), 0);
    if (!f)
        throw Error(damaged());
    QByteArray out(qsizetype(st.size), Qt::Uninitialized);
    qint64 got = 0;
    while (got < qint64(st.size)) {
        const zip_int64_t n = zip_fread(f, out.data() + got, st.size - zip_uint64_t(got));
        if (n <= 0)
            break;
        got += n;
    }
    zip_fclose(f);
    if (got != qint64(st.size))
        throw Error(damaged());
    return out;
}

QByteArray writeZip(const std::vector<std::pair<QString, QByteArray>>& entries)
{
    auto fail = [] { return Error(QStringLiteral("Impossibile creare il documento Word")); };
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* mem = zip_source_buffer_create(nullptr, 0, 0, &err);
    if (!mem) {
        zip_error_fini(&err);
        throw fail();
    }
    zip_source_keep(mem);
    zip_t* za = zip_open_from_source(mem, ZIP_TRUNCATE, &err);
    zip_error_fini(&err);
    if (!za) {
        zip_source_free(mem);
        zip_source_free(mem);
        throw fail();
    }
    bool ok = true;
    for (const auto& [name, bytes] : entries) {
        zip_source_t* s = zip_source_buffer(za, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        const zip_int64_t idx = s ? zip_file_add(za, name.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0) {
            if (s)
                zip_source_free(s);
            ok = false;
            break;
        }
        zip_file_set_mtime(za, zip_uint64_t(idx), 315532800 + 86400, 0); // 2 Jan 1980
    }
    if (!ok || zip_close(za) != 0) {
        if (ok)
            zip_discard(za);
        else
            zip_discard(za);
        zip_source_free(mem);
        throw fail();
    }
    QByteArray out;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(mem, &st) == 0 && zip_source_open(mem) == 0) {
        out.resize(qsizetype(st.size));
        const zip_int64_t n = zip_source_read(mem, out.data(), st.size);
        zip_source_close(mem);
        if (n != zip_int64_t(st.size))
            out.clear();
    }
    zip_source_free(mem);
    if (out.isEmpty())
        throw fail();
    return out;
}

} // namespace orv::doc::detail
