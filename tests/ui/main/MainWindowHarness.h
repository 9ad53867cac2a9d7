#pragma once
// The main window on a small data folder, with scripted dialogs and an
// editor stand-in that records how it was opened.
#include "data/Tdm.h"
#include "fixtures/ArchiveFixture.h"
#include "platform/Clock.h"
#include "platform/EntityData.h"
#include "platform/ProgramFolder.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"
#include "platform/Error.h"
#include "ui/main/BandGrid.h"
#include "ui/main/GradientLabel.h"
#include "ui/main/DocumentEditor.h"
#include "ui/main/MainWindow.h"

#include <QAction>
#include <QFile>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace orv::test {

// Records each opening; onShow may change the file and says whether the
// user saved.
class RecordingEditor final : public ui::DocumentEditor {
public:
    struct Opening {
        bool editable;
        QString file;
        QString caption;
        QByteArray contents; // of the file when it was shown
    };
    std::vector<Opening> openings;
    std::function<bool(const QString& file)> onShow;

    void setEditable(bool editable) override { m_editable = editable; }
    void setDocumentFile(const QString& path) override { m_file = path; }
    void setCaption(const QString& caption) override { m_caption = caption; }
    void showModal() override
    {
        QFile f(m_file);
        openings.push_back({m_editable, m_file, m_caption, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray()});
        m_saved = onShow ? onShow(m_file) : false;
    }
    bool saved() const override { return m_saved; }

private:
    bool m_editable = false;
    bool m_saved = false;
    QString m_file;
    QString m_caption;
};

inline const QDate kToday(2006, 6, 15);

class MainWindowHarness : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::pinToday(kToday);
        entityData() = EntityData{};
        folder = FixtureFolder::standard();
        folder->install();
        dm = std::make_unique<Tdm>();
        dm->DataModuleCreate();
        window = std::make_unique<ui::TfrmMain>(dm.get(), &editor, nullptr);
        window->resize(1024, 740);
        window->show(); // runs FormShow: the start view
    }

    void TearDown() override
    {
        window.reset();
        dm.reset();
        folder.reset();
        Clock::reset();
        dialogs.expectAllUsed();
    }

    template <typename T = QToolButton>
    T* child(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QAction* action(const char* name) const { return child<QAction>(name); }
    void click(const char* button) const { child(button)->click(); }

    QTreeWidgetItem* node(const QString& text) const
    {
        const auto found = window->tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1) << text.toStdString();
        return found.value(0);
    }
    void selectProcedure(const QString& leaf) const { window->tree()->setCurrentItem(node(leaf)); }
    QString currentCode() const { return dm->ttProcedure->currentRow().asString(QStringLiteral("CODICE")); }
    QString band(const char* grid) const { return child<ui::TBandGrid>(grid)->bandCaption(); }
    QString workingFile() const { return programFolder() + QStringLiteral("actdoc.txm"); }

    ScriptedDialogs dialogs;
    RecordingEditor editor;
    std::unique_ptr<FixtureFolder> folder;
    std::unique_ptr<Tdm> dm;
    std::unique_ptr<ui::TfrmMain> window;
};

} // namespace orv::test
