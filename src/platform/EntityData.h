#pragma once
#include <QString>
#include <QStringList>

namespace orv {

// The authority's data ("Dati dell'Ente"), one text per settings key. Read
// from "KELMA.ini" at start-up, edited in the entity data dialog, filled into
// documents as merge fields, written back when the program ends. Lives here,
// below every module, because the editor's merge fields read it too.
struct EntityData {
    QString COMUNE;
    QString VIA;
    QString NUMERO;
    QString CITTA;
    QString PROVINCIA;
    QString TELEFONO;
    QString FAX;
    QString MAIL;
    QString SERVIZIO;

    // The nine settings keys, in the order they are read and written.
    static const QStringList& keys();
    // The field named by a key (compared without regard to case); a null
    // string for a key that is none of the nine.
    QString value(const QString& key) const;
    // Returns false for an unknown key.
    bool setValue(const QString& key, const QString& value);

    bool operator==(const EntityData&) const = default;
};

// The program's one instance, for the whole run.
EntityData& entityData();

// "COMUNE DI " followed by the comune's name, as the status bar shows it.
QString entityHeading();

} // namespace orv
