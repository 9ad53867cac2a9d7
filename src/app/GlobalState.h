#pragma once
#include <QDate>
#include <QString>

namespace orv::app {

// The start-up values kept beside the authority's data (platform/EntityData.h)
// for the whole run.
struct StartupState {
    bool HistoryPending = true;  // the version history is still to be shown
    QDate ReminderDate;          // last first activation; zeroDate() = never
    bool FirstActivation = true; // the main window has not been activated yet
};

StartupState& startupState();

// 30 December 1899, the date that stands for "never".
QDate zeroDate();

// The program's short date format, "dd/MM/yyyy", used for every date shown
// or stored.
QString formatShortDate(const QDate& date);
// An empty or unreadable text gives an invalid date.
QDate parseShortDate(const QString& text);

// The settings file "KELMA.ini" in the program folder.
QString settingsPath();

// Fills the authority's data and the start-up state from the settings file.
// A missing file or key gives the defaults.
void ReadSettings();

// Writes the authority's data, HistoryPending and ReminderDate into section
// "DATIENTE", leaving every other line of the file as it was. Returns false,
// with a reason in *error, when the file cannot be written.
bool WriteSettings(QString* error = nullptr);

} // namespace orv::app
