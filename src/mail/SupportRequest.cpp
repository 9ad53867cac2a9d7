#include "mail/SupportRequest.h"

#include "mail/TMapiControl.h"
#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <memory>

namespace orv::mail {
namespace {
// The hourglass for as long as the command lasts, restored on every path.
struct BusyCursor {
    const bool active = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    BusyCursor()
    {
        if (active)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (active)
            QGuiApplication::restoreOverrideCursor();
    }
};
} // namespace

QString supportAddress() { return QStringLiteral("assistenza@orvanta.it"); }

void sendSupportRequest(const QString& address, const QString& entityHeading)
{
    BusyCursor busy;
    std::unique_ptr<TMapiControl> mapi;
    try {
        mapi = std::make_unique<TMapiControl>(QCoreApplication::instance());
        mapi->Subject = QStringLiteral("SOFTWARE Orvanta - Versione 3.00");
        mapi->recipientsList() << address;
        mapi->FromName = entityHeading;
        mapi->UseAppHandle = false;
        mapi->ShowDialog = true;
        mapi->Send();
    } catch (const std::exception&) {
        mapi.reset();
        showMessage(QStringLiteral("Errore durante la trasmissione."));
    }
}

} // namespace orv::mail
