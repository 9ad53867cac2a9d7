#pragma once
#include <QString>

namespace orv::mail {

// The vendor's technical-support mailbox: the one place that names it.
QString supportAddress();

// The support request: an e-mail to `address` with the product and version
// in its subject and the authority's heading as the sender's name, opened in
// the mail client's compose window. Only an error while preparing or handing
// over the message is shown ("Errore durante la trasmissione."); the mail
// client's own outcome, or the absence of one, ends the command silently.
void sendSupportRequest(const QString& address, const QString& entityHeading);

} // namespace orv::mail
