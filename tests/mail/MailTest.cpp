#include "mail/MapiLoader.h"
#include "mail/SupportRequest.h"
#include "mail/TMapiControl.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orv::mapi;

namespace {

// What the provider received, copied out while the call is running.
struct Captured {
    int calls = 0;
    ULONG flags = 0;
    QString subject, body, fromName, fromAddress;
    ULONG originatorClass = 99;
    struct Recip { ULONG cls; QString name, address; };
    std::vector<Recip> recips;
    struct File { QString path, name; ULONG position; };
    std::vector<File> files;
};

QString str(const char* s) { return s ? QString::fromLocal8Bit(s) : QStringLiteral("<null>"); }

struct MailFixture : ::testing::Test {
    Captured got;
    ULONG answer = SUCCESS_SUCCESS;

    void SetUp() override
    {
        setProviderForTests([this](LHANDLE, std::uintptr_t, const MapiMessage& m, ULONG flags, ULONG) -> ULONG {
            ++got.calls;
            got.flags = flags;
            got.subject = str(m.lpszSubject);
            got.body = str(m.lpszNoteText);
            got.originatorClass = m.lpOriginator->ulRecipClass;
            got.fromName = str(m.lpOriginator->lpszName);
            got.fromAddress = str(m.lpOriginator->lpszAddress);
            for (ULONG i = 0; i < m.nRecipCount; ++i)
                got.recips.push_back({m.lpRecips[i].ulRecipClass, str(m.lpRecips[i].lpszName),
                                      str(m.lpRecips[i].lpszAddress)});
            for (ULONG i = 0; i < m.nFileCount; ++i)
                got.files.push_back({str(m.lpFiles[i].lpszPathName), str(m.lpFiles[i].lpszFileName),
                                     m.lpFiles[i].nPosition});
            if (m.nFileCount == 0) {
                EXPECT_EQ(m.lpFiles, nullptr);
            }
            return answer;
        });
    }
    void TearDown() override { resetLoaderForTests(); }
};

} // namespace

TEST_F(MailFixture, DescriptorsFollowTheListsInOrder)
{
    TMapiControl mapi;
    mapi.Subject = QStringLiteral("Oggetto");
    mapi.setRecipients({QStringLiteral("a@x.it"), QStringLiteral("b@x.it")});
    mapi.setCopyTo({QStringLiteral("c@x.it")});
    mapi.setAttachedFiles({QStringLiteral("c:\\temp\\report.txt"), QStringLiteral("/tmp/dir/nota.pdf")});
    mapi.Send();

    ASSERT_EQ(got.calls, 1);
    EXPECT_EQ(got.flags, 0u);
    EXPECT_EQ(got.subject, QStringLiteral("Oggetto"));
    EXPECT_EQ(got.body, QString());
    // An empty originator is still passed, with empty strings.
    EXPECT_EQ(got.originatorClass, MAPI_ORIG);
    EXPECT_EQ(got.fromName, QString());
    EXPECT_EQ(got.fromAddress, QString());
    ASSERT_EQ(got.recips.size(), 3u);
    EXPECT_EQ(got.recips[0].cls, MAPI_TO);
    EXPECT_EQ(got.recips[0].name, QStringLiteral("a@x.it"));
    EXPECT_EQ(got.recips[0].address, QStringLiteral("SMTP:a@x.it"));
    EXPECT_EQ(got.recips[1].cls, MAPI_TO);
    EXPECT_EQ(got.recips[1].address, QStringLiteral("SMTP:b@x.it"));
    EXPECT_EQ(got.recips[2].cls, MAPI_CC);
    EXPECT_EQ(got.recips[2].address, QStringLiteral("SMTP:c@x.it"));
    ASSERT_EQ(got.files.size(), 2u);
    EXPECT_EQ(got.files[0].path, QStringLiteral("c:\\temp\\report.txt"));
    EXPECT_EQ(got.files[0].name, QStringLiteral("report.txt"));
    EXPECT_EQ(got.files[0].position, 0xFFFFFFFFu);
    EXPECT_EQ(got.files[1].name, QStringLiteral("nota.pdf"));
    EXPECT_EQ(mapi.DisplayFileName(), QStringList({QStringLiteral("report.txt"), QStringLiteral("nota.pdf")}));

    mapi.ShowDialog = true;
    mapi.Send();
    EXPECT_EQ(got.flags, MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_DIALOG);
    EXPECT_EQ(got.flags, 0x0Bu);
}

TEST_F(MailFixture, ResultCodesRaiseTheirEvent)
{
    const struct {
        ULONG result;
        const char* expected;
    } cases[] = {{SUCCESS_SUCCESS, "success"}, {MAPI_USER_ABORT, "abort"}, {MAPI_E_FAILURE, "error 2"},
                 {MAPI_E_ATTACHMENT_NOT_FOUND, "error 11"}};
    for (const auto& c : cases) {
        answer = c.result;
        TMapiControl mapi;
        QString seen;
        mapi.OnSuccess = [&](QObject* s) { seen = s == &mapi ? QStringLiteral("success") : QStringLiteral("?"); };
        mapi.OnUserAbort = [&](QObject*) { seen = QStringLiteral("abort"); };
        mapi.OnMapiError = [&](QObject*, qint32 code) { seen = QStringLiteral("error %1").arg(code); };
        mapi.Send();
        EXPECT_EQ(seen, QString::fromLatin1(c.expected));
    }
    // Events without a handler are skipped.
    answer = MAPI_E_FAILURE;
    TMapiControl silent;
    silent.Send();
}

TEST(MailLoader, MissingProviderEndsEverySendAsAUserCancelAndIsNotLookedUpAgain)
{
    setProviderForTests({});
    int aborts = 0;
    TMapiControl mapi;
    mapi.OnUserAbort = [&](QObject*) { ++aborts; };
    mapi.OnSuccess = [&](QObject*) { ADD_FAILURE() << "no provider, no success"; };
    mapi.Send();
    mapi.Send();
    EXPECT_EQ(aborts, 2);
    EXPECT_TRUE(loadAttempted());
    EXPECT_FALSE(providerAvailable());
    resetLoaderForTests();
}

TEST_F(MailFixture, SupportRequestSendsProductSubjectAndHeadingAsSender)
{
    const struct {
        const char* heading;
    } cases[] = {{"COMUNE DI ROMA"}, {"COMUNE DI "}};
    for (const auto& c : cases) {
        got = {};
        orv::test::ScriptedDialogs script; // nothing may be shown
        orv::mail::sendSupportRequest(orv::mail::supportAddress(), QString::fromLatin1(c.heading));
        ASSERT_EQ(got.calls, 1);
        EXPECT_EQ(got.subject, QStringLiteral("SOFTWARE Orvanta - Versione 3.00"));
        EXPECT_EQ(got.fromName, QString::fromLatin1(c.heading));
        EXPECT_EQ(got.fromAddress, QString());
        EXPECT_EQ(got.flags, 0x0Bu);
        ASSERT_EQ(got.recips.size(), 1u);
        EXPECT_EQ(got.recips[0].address, QStringLiteral("SMTP:") + orv::mail::supportAddress());
        EXPECT_TRUE(got.files.empty());
        EXPECT_TRUE(script.records().empty());
    }
}

TEST_F(MailFixture, SupportRequestShowsOnlyAnErrorRaisedDuringTheSend)
{
    answer = MAPI_E_FAILURE; // a mail client error: silent
    {
        orv::test::ScriptedDialogs script;
        orv::mail::sendSupportRequest(QStringLiteral("a@x.it"), QStringLiteral("COMUNE DI X"));
        EXPECT_TRUE(script.records().empty());
    }
    setProviderForTests([](LHANDLE, std::uintptr_t, const MapiMessage&, ULONG, ULONG) -> ULONG {
        throw std::bad_alloc();
    });
    orv::test::ScriptedDialogs script;
    script.answerMessage(orv::mbOK);
    orv::mail::sendSupportRequest(QStringLiteral("a@x.it"), QStringLiteral("COMUNE DI X"));
    ASSERT_EQ(script.messages().size(), 1u);
    EXPECT_EQ(script.messages()[0].text, QStringLiteral("Errore durante la trasmissione."));
    EXPECT_EQ(script.messages()[0].buttons, orv::mbOK);
}

namespace {
// A stand-in xdg-email on the PATH that records its arguments, one a line,
// and exits with the status held in a file beside it.
struct XdgEmailFixture : ::testing::Test {
    QTemporaryDir dir;
    QByteArray oldPath = qgetenv("PATH");

    void SetUp() override
    {
        const QString script = dir.filePath(QStringLiteral("xdg-email"));
        orv::test::writeFile(script, QByteArray("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"")
                                         + dir.filePath(QStringLiteral("args")).toLocal8Bit()
                                         + "\"\nexit $(cat \"" + dir.filePath(QStringLiteral("status")).toLocal8Bit()
                                         + "\")\n");
        QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        setExitStatus(0);
        qputenv("PATH", dir.path().toLocal8Bit() + ":" + oldPath);
        resetLoaderForTests();
    }
    void TearDown() override
    {
        qputenv("PATH", oldPath);
        resetLoaderForTests();
    }
    void setExitStatus(int s) { orv::test::writeFile(dir.filePath(QStringLiteral("status")), QByteArray::number(s)); }
    QStringList args() const
    {
        QString text = QString::fromUtf8(orv::test::readFile(dir.filePath(QStringLiteral("args"))));
        text.chop(1);
        return text.split(QLatin1Char('\n'));
    }
};
} // namespace

TEST_F(XdgEmailFixture, MessageBecomesTheToolsArguments)
{
    TMapiControl mapi;
    mapi.Subject = QString::fromUtf8("Richiesta – città");
    mapi.Body = QStringLiteral("Testo");
    mapi.setRecipients({QStringLiteral("a@x.it"), QStringLiteral("b@x.it")});
    mapi.setCopyTo({QStringLiteral("c@x.it")});
    mapi.setBlindCopyTo({QStringLiteral("d@x.it")});
    mapi.setAttachedFiles({dir.filePath(QStringLiteral("status"))});
    bool success = false;
    mapi.OnSuccess = [&](QObject*) { success = true; };
    mapi.Send();
    EXPECT_TRUE(success);
    EXPECT_EQ(args(), QStringList({QStringLiteral("--utf8"), QStringLiteral("--cc"), QStringLiteral("c@x.it"),
                                   QStringLiteral("--bcc"), QStringLiteral("d@x.it"), QStringLiteral("--subject"),
                                   QString::fromUtf8("Richiesta – città"), QStringLiteral("--body"),
                                   QStringLiteral("Testo"), QStringLiteral("--attach"),
                                   dir.filePath(QStringLiteral("status")), QStringLiteral("a@x.it"),
                                   QStringLiteral("b@x.it")}));
}

TEST_F(XdgEmailFixture, ExitStatusMapsOntoMailResults)
{
    const struct {
        int status;
        const char* expected;
    } cases[] = {{0, "success"}, {3, "abort"}, {2, "error 11"}, {4, "error 2"}, {1, "error 2"}};
    for (const auto& c : cases) {
        setExitStatus(c.status);
        resetLoaderForTests();
        TMapiControl mapi;
        mapi.setRecipients({QStringLiteral("a@x.it")});
        QString seen;
        mapi.OnSuccess = [&](QObject*) { seen = QStringLiteral("success"); };
        mapi.OnUserAbort = [&](QObject*) { seen = QStringLiteral("abort"); };
        mapi.OnMapiError = [&](QObject*, qint32 code) { seen = QStringLiteral("error %1").arg(code); };
        mapi.Send();
        EXPECT_EQ(seen, QString::fromLatin1(c.expected)) << "exit status " << c.status;
    }
}

TEST_F(XdgEmailFixture, NoMailToolOnThePathEndsTheSupportRequestSilently)
{
    qputenv("PATH", QTemporaryDir().path().toLocal8Bit()); // a folder without the tool
    resetLoaderForTests();
    orv::test::ScriptedDialogs script;
    orv::mail::sendSupportRequest(QStringLiteral("a@x.it"), QStringLiteral("COMUNE DI X"));
    EXPECT_TRUE(script.records().empty());
    EXPECT_TRUE(loadAttempted());
    EXPECT_FALSE(providerAvailable());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("args"))));
}
