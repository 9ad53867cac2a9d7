#include "app/GlobalState.h"

#include "platform/EntityData.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolder.h"

namespace orv::app {
namespace {

const QString kSection = QStringLiteral("DATIENTE");
const QString kHistoryKey = QStringLiteral("HISTORY3.00");
const QString kReminderKey = QStringLiteral("SPOT_DATE");

// Any non-zero integer is true; a missing or non-numeric value is the default.
bool readBoolean(const IniFile& ini, const QString& key, bool defaultValue)
{
    bool ok = false;
    const int v = ini.readString(kSection, key).trimmed().toInt(&ok);
    return ok ? v != 0 : defaultValue;
}

} // namespace

StartupState& startupState()
{
    static StartupState state;
    return state;
}

QDate zeroDate() { return QDate(1899, 12, 30); }

QString formatShortDate(const QDate& date) { return date.toString(QStringLiteral("dd/MM/yyyy")); }

QDate parseShortDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    // Single-digit days and months, as older files may hold, read as well.
    QDate d = QDate::fromString(t, QStringLiteral("dd/MM/yyyy"));
    if (!d.isValid())
        d = QDate::fromString(t, QStringLiteral("d/M/yyyy"));
    return d;
}

QString settingsPath() { return programFolder() + QStringLiteral("KELMA.ini"); }

void ReadSettings()
{
    const IniFile ini(settingsPath());
    EntityData& data = entityData();
    for (const QString& key : EntityData::keys())
        data.setValue(key, ini.readString(kSection, key));

    StartupState& state = startupState();
    state.HistoryPending = readBoolean(ini, kHistoryKey, true);
    const QDate reminder = parseShortDate(ini.readString(kSection, kReminderKey));
    state.ReminderDate = reminder.isValid() ? reminder : zeroDate();
}

bool WriteSettings(QString* error)
{
    IniFile ini(settingsPath());
    const EntityData& data = entityData();
    const StartupState& state = startupState();
    auto write = [&](const QString& key, const QString& value) {
        if (ini.writeString(kSection, key, value))
            return true;
        if (error)
            *error = ini.lastError();
        return false;
    };
    for (const QString& key : EntityData::keys()) {
        if (!write(key, data.value(key)))
            return false;
    }
    const QDate reminder = state.ReminderDate.isValid() ? state.ReminderDate : zeroDate();
    return write(kHistoryKey, state.HistoryPending ? QStringLiteral("1") : QStringLiteral("0"))
        && write(kReminderKey, formatShortDate(reminder));
}

} // namespace orv::app
