#pragma once
// Little-endian byte reading and writing for our binary formats. The reader
// checks every length against what is left and throws orv::Error (the
// caller's "damaged" text) instead of reading past the end.

#include "platform/Error.h"

#include <QByteArray>
#include <QString>
#include <cstring>

namespace orv::doc::detail {

class ByteWriter {
public:
    QByteArray data;
    void u8(quint8 v) { data.append(char(v)); }
    void u16(quint16 v) { u8(quint8(v)), u8(quint8(v >> 8)); }
    void u32(quint32 v) { u16(quint16(v)), u16(quint16(v >> 16)); }
    void i32(qint32 v) { u32(quint32(v)); }
    void f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        u32(quint32(bits)), u32(quint32(bits >> 32));
    }
    void bytes(const QByteArray& b) { u32(quint32(b.size())), data.append(b); }
    void string(const QString& s) { bytes(s.toUtf8()); }
};

class ByteReader {
public:
    ByteReader(const QByteArray& d, QString damaged) : m_data(d), m_damaged(std::move(damaged)) {}
    qsizetype left() const { return m_data.size() - m_pos; }
    qsizetype pos() const { return m_pos; }
    [[noreturn]] void fail(const QString& what = {}) const
    {
        throw Error(what.isEmpty() ? m_damaged : m_damaged + QStringLiteral(": ") + what);
    }
    void need(qint64 n) const
    {
        if (n < 0 || n > left())
            fail();
    }
    quint8 u8()
    {
        need(1);
        return quint8(m_data[m_pos++]);
    }
    quint16 u16()
    {
        const quint16 lo = u8();
        return quint16(lo | (quint16(u8()) << 8));
    }
    quint32 u32()
    {
        const quint32 lo = u16();
        return lo | (quint32(u16()) << 16);
    }
    qint32 i32() { return qint32(u32()); }
    double f64()
    {
        const quint64 lo = u32();
        const quint64 bits = lo | (quint64(u32()) << 32);
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    // A count of items, each at least minItemSize bytes long.
    quint32 count(qint64 minItemSize)
    {
        const quint32 n = u32();
        if (minItemSize > 0 && qint64(n) * minItemSize > left())
            fail();
        return n;
    }
    QByteArray bytes()
    {
        const quint32 n = u32();
        need(n);
        QByteArray out = m_data.mid(m_pos, n);
        m_pos += n;
        return out;
    }
    QString string() { return QString::fromUtf8(bytes()); }
    QByteArray raw(qsizetype n)
    {
        need(n);
        QByteArray out = m_data.mid(m_pos, n);
        m_pos += n;
        return out;
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
    QString m_damaged;
};

} // namespace orv::doc::detail
