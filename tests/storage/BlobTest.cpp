// Large objects: streamed in and out, through devices and files.
#include "StorageFixture.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace orv::storage::test {
namespace {

class BlobTest : public StorageTest {
protected:
    void SetUp() override
    {
        StorageTest::SetUp();
        createTable(folder(), "ST_DOCUMENTI.DAT", documentsDef());
        t.setFolder(folder());
        t.setTableName("ST_DOCUMENTI.DAT");
        t.open();
    }
    QByteArray bodyOfCurrent()
    {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        t.fieldByName("BODY").saveToDevice(out);
        return out.data();
    }
    Table t;
};

TEST_F(BlobTest, ContentsOfEverySizeRoundTripAcrossReopen)
{
    // Chunk boundaries are 64 KiB.
    const QList<qint64> sizes = {1, 65535, 65536, 65537, 3 * 65536 + 17, 0};
    for (int i = 0; i < sizes.size(); ++i) {
        QByteArray bytes = patternBytes(sizes[i], quint32(i));
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        t.append();
        EXPECT_EQ(t.fieldByName("BODY").loadFromDevice(in), sizes[i]);
        t.post();
    }
    t.close();
    t.open();
    int i = 0;
    for (t.first(); !t.eof(); t.next(), ++i) {
        EXPECT_EQ(t.fieldByName("BODY").blobSize(), sizes[i]);
        EXPECT_EQ(bodyOfCurrent(), patternBytes(sizes[i], quint32(i))) << sizes[i];
        EXPECT_EQ(t.rowAt(i).blobSize("body"), sizes[i]);
    }
}

TEST_F(BlobTest, FilesInAndOutAndErrorsOfOutsideFiles)
{
    const QString src = path("in.txm"), dst = path("out.txm");
    const QByteArray bytes = patternBytes(100000, 7);
    {
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    t.append();
    t.fieldByName("BODY").loadFromFile(src);
    t.post();
    t.fieldByName("BODY").saveToFile(dst);
    QFile f(dst);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), bytes);
    f.close();

    t.edit();
    EXPECT_EQ(codeOf([&] { t.fieldByName("BODY").loadFromFile(path("missing.txm")); }), code::FileError);
    t.cancel();
    EXPECT_EQ(codeOf([&] { t.fieldByName("BODY").saveToFile(path("no/such/folder/x.txm")); }), code::FileError);
    EXPECT_EQ(codeOf([&] { t.fieldByName("BODY").loadFromFile(src); }), code::NotEditing);
    EXPECT_EQ(codeOf([&] { t.fieldByName("TITOLO").saveToFile(dst); }), code::TypeMismatch);

    // An empty blob gives an empty file.
    t.append();
    t.post();
    t.fieldByName("BODY").saveToFile(dst);
    EXPECT_EQ(QFileInfo(dst).size(), 0);
}

TEST_F(BlobTest, CancelKeepsTheOldContentAndPostReplacesIt)
{
    QByteArray a = patternBytes(5000, 1), b = patternBytes(9000, 2);
    QBuffer ina(&a), inb(&b);
    ina.open(QIODevice::ReadOnly);
    inb.open(QIODevice::ReadOnly);
    t.append();
    t.fieldByName("BODY").loadFromDevice(ina);
    t.post();
    t.edit();
    t.fieldByName("BODY").loadFromDevice(inb);
    EXPECT_EQ(bodyOfCurrent(), b); // the edited row reads its new content
    t.cancel();
    EXPECT_EQ(bodyOfCurrent(), a);
    inb.seek(0);
    t.edit();
    t.fieldByName("BODY").loadFromDevice(inb);
    t.post();
    t.close();
    t.open();
    EXPECT_EQ(bodyOfCurrent(), b);
}

} // namespace
} // namespace orv::storage::test
