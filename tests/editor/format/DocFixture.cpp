#include "DocFixture.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTextTable>

namespace orv::test {

QByteArray pngPicture(int w, int h, QRgb colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    img.setPixel(0, 0, 0xffffffff);
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return out;
}

QByteArray jpegPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(0xffc04020);
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "JPEG");
    return out;
}

void insertField(QTextCursor& c, int id, const QString& data, const QString& text, int kind, bool changeable,
                 bool deletable)
{
    const QTextCharFormat base = c.charFormat();
    c.insertText(text, doc::fieldFormat(id, data, kind, changeable, deletable, base));
    c.setCharFormat(base);
}

void buildShowcase(doc::TxDocument& d, int pages)
{
    QTextDocument& body = *d.body();
    QTextCursor c(&body);
    QTextCharFormat title;
    title.setFontWeight(QFont::Bold);
    title.setFontPointSize(16);
    c.insertText(QStringLiteral("Comune di "), title);
    insertField(c, 1, QStringLiteral("COMUNE"), QStringLiteral("Bellavista"));
    c.insertBlock();
    c.setCharFormat(QTextCharFormat());
    c.insertText(QStringLiteral("Provincia di "));
    insertField(c, 2, QStringLiteral("PROVINCIA"), QStringLiteral("Verdemare"), 16, true, true);
    c.insertText(QStringLiteral(" – avviso d'asta più città"));
    c.insertBlock();
    QTextTableFormat tf;
    tf.setBorder(1);
    tf.setCellPadding(2);
    QTextTable* t = c.insertTable(3, 3, tf);
    const char* texts[3][3] = {{"Cella A1", "Cella B1", "Cella C1"},
                               {"Cella A2", "Cella B2", "Cella C2"},
                               {"Cella A3", "unita", "x"}};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            t->cellAt(r, k).firstCursorPosition().insertText(QString::fromUtf8(texts[r][k]));
    t->mergeCells(2, 1, 1, 2);
    c.setPosition(t->lastPosition() + 1);
    c.insertText(QStringLiteral("Immagine: "));
    QTextImageFormat img;
    img.setName(doc::addImage(body, pngPicture(40, 30)));
    img.setWidth(40);
    img.setHeight(30);
    c.insertImage(img);
    for (int p = 0; p < pages; ++p) {
        for (int i = 0; i < 45; ++i) {
            c.insertBlock();
            c.insertText(QStringLiteral("Riga di testo %1 della pagina %2.").arg(i + 1).arg(p + 1));
        }
    }
    QTextCursor f(d.footer());
    f.insertText(QStringLiteral("Piede di pagina prova"));
}

} // namespace orv::test
