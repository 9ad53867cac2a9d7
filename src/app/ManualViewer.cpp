#include "app/ManualViewer.h"

#include "platform/ProgramFolder.h"

#include <QAction>
#include <QFileInfo>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace orv::app {

QString manualFolder() { return programFolder() + QStringLiteral("Manuale/"); }

TfrmManual::TfrmManual(QWidget* parent) : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("frmManual"));
    setWindowTitle(QStringLiteral("Manuale d'Uso - Orvanta"));
    resize(820, 640);
    m_browser->setObjectName(QStringLiteral("Browser"));
    m_browser->setOpenExternalLinks(true);

    auto* bar = new QToolBar(this);
    QAction* home = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Indice"));
    QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Indietro"));
    QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Avanti"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(home, &QAction::triggered, m_browser, &QTextBrowser::home);
    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_browser, 1);
}

void TfrmManual::showContents(const QString& folder)
{
    const QString index = folder + QStringLiteral("index.html");
    if (QFileInfo::exists(index)) {
        m_browser->setSearchPaths({folder});
        m_browser->setSource(QUrl::fromLocalFile(index));
    } else {
        m_browser->setHtml(QStringLiteral("<h2>Manuale non disponibile</h2><p>Il file del manuale "
                                          "<b>%1</b> non è stato trovato. Reinstallare il programma "
                                          "per ripristinarlo.</p>").arg(index.toHtmlEscaped()));
    }
    show();
    raise();
    activateWindow();
}

} // namespace orv::app
