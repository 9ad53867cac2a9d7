// A 100-page document with 20 tables and 10 pictures: loading and laying it
// out from our own format, and saving it, each beside QTextDocument's own
// HTML path on the same content (setHtml / toHtml). Target: at most 1.5
// times the HTML time. Memory: heap held by one loaded and laid-out document.
#include "editor/format/DocumentIO.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTextCursor>
#include <QTextTable>
#include <QUrl>
#include <benchmark/benchmark.h>
#include <malloc.h>

using namespace orv::doc;

namespace {

QByteArray png(int i)
{
    QImage img(240, 160, QImage::Format_RGB32);
    img.fill(QColor::fromHsv((i * 37) % 360, 160, 200));
    for (int y = 0; y < 160; y += 8)
        for (int x = 0; x < 240; ++x)
            img.setPixel(x, y, 0xff000000 | uint(x * y));
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return out;
}

// About 30 lines a page: 100 pages of paragraphs with some formatting, a
// table every five pages, a picture every ten.
void buildLong(TxDocument& d)
{
    QTextCursor c(d.body());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat plain;
    QTextCharFormat field = fieldFormat(1, "COMUNE", 16, false, false);
    int fieldId = 1;
    for (int page = 0; page < 100; ++page) {
        for (int line = 0; line < 28; ++line) {
            c.insertText(QStringLiteral("Art. %1.%2 ").arg(page + 1).arg(line + 1), bold);
            c.insertText(QStringLiteral("Il presente capitolato disciplina la fornitura di beni e servizi per il "
                                        "Comune di "),
                         plain);
            field.setProperty(FieldId, fieldId++);
            c.insertText(QStringLiteral("Bellavista"), field);
            c.insertText(QStringLiteral(", secondo le condizioni che seguono."), plain);
            c.insertBlock();
        }
        if (page % 5 == 2) {
            QTextTableFormat tf;
            tf.setBorder(1);
            QTextTable* t = c.insertTable(5, 4, tf);
            for (int r = 0; r < 5; ++r)
                for (int k = 0; k < 4; ++k)
                    t->cellAt(r, k).firstCursorPosition().insertText(QStringLiteral("Voce %1/%2").arg(r).arg(k));
            t->mergeCells(4, 0, 1, 2);
            c.setPosition(t->lastPosition() + 1);
        }
        if (page % 10 == 7) {
            QTextImageFormat img;
            img.setName(addImage(*d.body(), png(page)));
            img.setWidth(240);
            img.setHeight(160);
            c.insertImage(img);
            c.insertBlock();
        }
    }
    QTextCursor(d.footer()).insertText("Piede di pagina");
}

void layOut(QTextDocument& doc)
{
    doc.setPageSize(QSizeF(595, 842));
    benchmark::DoNotOptimize(doc.pageCount());
}

struct Fixture {
    QByteArray own;
    QString html;
    std::vector<std::pair<QString, QByteArray>> pictures;
    int pages = 0;
    Fixture()
    {
        TxDocument d;
        buildLong(d);
        own = save(d, OwnFormat);
        html = d.body()->toHtml();
        for (int i = 1; i <= 10; ++i) {
            const QString name = QStringLiteral("orv-image-%1.png").arg(i);
            pictures.emplace_back(name, imageBytes(*d.body(), name));
        }
        layOut(*d.body());
        pages = d.body()->pageCount();
    }
};

const Fixture& fixture()
{
    static const Fixture f;
    return f;
}

// Heap in use, in KiB: what a loaded document holds (the resident size
// says little once the allocator reuses freed pages).
long heapKiB()
{
    return long(mallinfo2().uordblks / 1024);
}

void BM_LoadOwnFormat(benchmark::State& state)
{
    const Fixture& f = fixture();
    long grown = 0;
    for (auto _ : state) {
        const long before = heapKiB();
        TxDocument d;
        load(d, f.own, OwnFormat);
        layOut(*d.body());
        grown = std::max(grown, heapKiB() - before);
    }
    state.counters["pages"] = f.pages;
    state.counters["fileKiB"] = double(f.own.size()) / 1024;
    state.counters["heapKiB"] = double(grown);
}

void BM_LoadHtml(benchmark::State& state)
{
    const Fixture& f = fixture();
    long grown = 0;
    for (auto _ : state) {
        const long before = heapKiB();
        TxDocument d;
        d.body()->setHtml(f.html);
        for (const auto& [name, bytes] : f.pictures)
            d.body()->addResource(QTextDocument::ImageResource, QUrl(name), bytes);
        layOut(*d.body());
        grown = std::max(grown, heapKiB() - before);
    }
    state.counters["fileKiB"] = double(f.html.toUtf8().size()) / 1024;
    state.counters["heapKiB"] = double(grown);
}

void BM_SaveOwnFormat(benchmark::State& state)
{
    TxDocument d;
    load(d, fixture().own, OwnFormat);
    for (auto _ : state)
        benchmark::DoNotOptimize(save(d, OwnFormat));
}

void BM_SaveHtml(benchmark::State& state)
{
    TxDocument d;
    load(d, fixture().own, OwnFormat);
    for (auto _ : state)
        benchmark::DoNotOptimize(d.body()->toHtml());
}

BENCHMARK(BM_LoadOwnFormat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOwnFormat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveHtml)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
