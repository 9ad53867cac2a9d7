#pragma once
#include "BackupTestSupport.h"
#include "maintenance/BackupFile.h"
#include "platform/Error.h"
#include "support/ScriptedDialogs.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orv::test {

// A temporary folder, an engine whose errors are collected, and scripted
// dialogs that fail the test on any message box nobody expected.
class BackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        engine.OnError = [this](TBackupFile&, qint32 code, const QString& text) { errors.push_back({code, text}); };
    }

    QString path(const QString& rel) const { return tmp.filePath(rel); }
    QString make(const QString& rel, const QByteArray& data, quint32 dos = 0)
    {
        const QString p = path(rel);
        QDir().mkpath(QFileInfo(p).absolutePath());
        writeFile(p, data);
        if (dos)
            setDosTime(p, dos);
        return p;
    }
    QString folder(const QString& rel) const
    {
        QDir().mkpath(path(rel));
        return path(rel);
    }
    QString archiveFile(const QString& rel, const QByteArray& bytes) { return make(rel, bytes); }

    QTemporaryDir tmp;
    ScriptedDialogs dialogs;
    TBackupFile engine;
    std::vector<std::pair<int, QString>> errors;
};

inline quint32 dos(int y, int mo, int d, int h = 12, int mi = 0, int s = 0)
{
    return toDosDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime));
}

} // namespace orv::test
