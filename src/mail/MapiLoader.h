#pragma once
#include "mail/Mapi.h"

#include <QString>
#include <functional>

namespace orv::mapi {

// The send function of the mail provider, with the five arguments of the
// platform's MAPISendMail.
using SendMailFunction = std::function<ULONG(LHANDLE session, std::uintptr_t uiParam, const MapiMessage& message,
                                             ULONG flags, ULONG reserved)>;

// The loader finds the mail provider on the first send and never tries again
// in the same process. Without one, every send ends as MAPI_USER_ABORT and
// nothing is called. On this machine the provider is the desktop's mail client,
// reached through the `xdg-email` tool on the PATH.
ULONG sendMail(LHANDLE session, std::uintptr_t uiParam, const MapiMessage& message, ULONG flags, ULONG reserved);

// What the loader found; valid after the first send.
bool loadAttempted();
bool providerAvailable();

// Tests: forget the load, or replace the provider's send function (an empty
// function means "no provider").
void resetLoaderForTests();
void setProviderForTests(SendMailFunction send);

// The xdg-email provider itself, exposed for tests: builds the command line
// from the message and maps the tool's exit status onto the MAPI results.
ULONG sendWithXdgEmail(const QString& program, const MapiMessage& message);

} // namespace orv::mapi
