// orvanta-library LIBRARY_DIR OUTPUT_DATA_DIR
// Builds the data folder of a new installation from the library's source.
#include "DataFolderBuilder.h"
#include "LibrarySource.h"
#include "Markup.h"

#include "platform/Error.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QAbstractTextDocumentLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include <memory>
#include <QTextStream>

namespace {

// Lays the body out on the document's page and margins; the footer text goes
// under every page, as the editor prints it.
void printToPdf(const orv::doc::TxDocument& doc, const QString& path)
{
    QPdfWriter pdf(path);
    const auto& pg = doc.page;
    pdf.setPageSize(QPageSize(QSizeF(pg.width / 1440.0 * 25.4, pg.height / 1440.0 * 25.4), QPageSize::Millimeter));
    pdf.setPageMargins(QMarginsF(pg.marginLeft / 1440.0 * 25.4, pg.marginTop / 1440.0 * 25.4,
                                 pg.marginRight / 1440.0 * 25.4, pg.marginBottom / 1440.0 * 25.4),
                       QPageLayout::Millimeter);
    pdf.setResolution(300);
    std::unique_ptr<QTextDocument> body(doc.body()->clone());
    const QRectF page = pdf.pageLayout().paintRectPixels(pdf.resolution());
    const double scale = pdf.resolution() / 72.0;
    body->setPageSize(QSizeF(page.width() / scale, (page.height() - 40 * scale) / scale));
    QPainter painter(&pdf);
    const QString footer = doc.footer()->toPlainText();
    for (int i = 0; i < body->pageCount(); ++i) {
        if (i > 0)
            pdf.newPage();
        painter.save();
        painter.scale(scale, scale);
        painter.translate(0, -i * body->pageSize().height());
        const QRectF clip(0, i * body->pageSize().height(), body->pageSize().width(), body->pageSize().height());
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = clip;
        painter.setClipRect(clip);
        body->documentLayout()->draw(&painter, ctx);
        painter.restore();
        QFont f(QStringLiteral("Times New Roman"));
        f.setPointSizeF(8);
        painter.setFont(f);
        painter.drawText(QRectF(0, page.height() - 30 * scale, page.width(), 30 * scale), Qt::AlignCenter,
                         footer + QStringLiteral("   –   pag. %1").arg(i + 1));
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Text layout needs a GUI application but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--testo")) {
        // Review aid: prints one document (PP.N) as plain text.
        try {
            const auto lib = orv::library::readLibrary(args[2]);
            for (const auto& p : lib.procedures)
                for (const auto& d : p.documents)
                    if (p.codice + QLatin1Char('.') + QString::number(d.codice) == args[3]) {
                        orv::doc::TxDocument doc;
                        orv::library::markupToDocument(d.markup, doc, d.path);
                        QTextStream(stdout) << d.titolo << "\n\n" << doc.body()->toPlainText() << "\n---\n"
                                            << doc.footer()->toPlainText() << "\n";
                    }
        } catch (const std::exception& e) {
            err << orv::errorText(e) << "\n";
            return 1;
        }
        return 0;
    }
    if (args.size() == 5 && args[1] == QLatin1String("--pdf")) {
        // Review aid: prints one document (PP.N, or "regolamento") to a PDF file.
        try {
            const auto lib = orv::library::readLibrary(args[2]);
            QString markup = args[3] == QLatin1String("regolamento") ? lib.regolamentoMarkup : QString();
            for (const auto& p : lib.procedures)
                for (const auto& d : p.documents)
                    if (p.codice + QLatin1Char('.') + QString::number(d.codice) == args[3])
                        markup = d.markup;
            if (markup.isEmpty()) {
                err << "documento inesistente: " << args[3] << "\n";
                return 1;
            }
            orv::doc::TxDocument doc;
            orv::library::markupToDocument(markup, doc, args[3]);
            printToPdf(doc, args[4]);
        } catch (const std::exception& e) {
            err << orv::errorText(e) << "\n";
            return 1;
        }
        return 0;
    }
    if (args.size() != 3) {
        err << "uso: orvanta-library CARTELLA_LIBRERIA CARTELLA_DATI\n";
        return 2;
    }
    try {
        const auto lib = orv::library::readLibrary(args[1]);
        orv::library::buildDataFolder(lib, args[2]);
        int docs = 0;
        for (const auto& p : lib.procedures)
            docs += int(p.documents.size());
        err << "Cartella dati creata: " << args[2] << " (" << lib.procedures.size() << " procedure, " << docs
            << " documenti)\n";
    } catch (const std::exception& e) {
        err << orv::errorText(e) << "\n";
        return 1;
    }
    return 0;
}
