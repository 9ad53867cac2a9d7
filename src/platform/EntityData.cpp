#include "platform/EntityData.h"

namespace orv {
namespace {

QString* field(EntityData& d, const QString& key)
{
    const QString k = key.toUpper();
    if (k == QLatin1String("COMUNE")) return &d.COMUNE;
    if (k == QLatin1String("VIA")) return &d.VIA;
    if (k == QLatin1String("NUMERO")) return &d.NUMERO;
    if (k == QLatin1String("CITTA")) return &d.CITTA;
    if (k == QLatin1String("PROVINCIA")) return &d.PROVINCIA;
    if (k == QLatin1String("TELEFONO")) return &d.TELEFONO;
    if (k == QLatin1String("FAX")) return &d.FAX;
    if (k == QLatin1String("MAIL")) return &d.MAIL;
    if (k == QLatin1String("SERVIZIO")) return &d.SERVIZIO;
    return nullptr;
}

} // namespace

const QStringList& EntityData::keys()
{
    static const QStringList k{
        QStringLiteral("COMUNE"), QStringLiteral("VIA"), QStringLiteral("NUMERO"),
        QStringLiteral("CITTA"), QStringLiteral("PROVINCIA"), QStringLiteral("TELEFONO"),
        QStringLiteral("FAX"), QStringLiteral("MAIL"), QStringLiteral("SERVIZIO"),
    };
    return k;
}

QString EntityData::value(const QString& key) const
{
    const QString* f = field(const_cast<EntityData&>(*this), key);
    return f ? *f : QString();
}

bool EntityData::setValue(const QString& key, const QString& value)
{
    QString* f = field(*this, key);
    if (!f)
        return false;
    *f = value;
    return true;
}

EntityData& entityData()
{
    static EntityData data;
    return data;
}

QString entityHeading() { return QStringLiteral("COMUNE DI ") + entityData().COMUNE; }

} // namespace orv
