#pragma once
#include "platform/Dialogs.h"
#include "platform/Error.h"

#include <exception>
#include <utility>

namespace orv {

// The standard error box: the error's own text, the application's title,
// an OK button. The program goes on afterwards.
void showStandardError(const std::exception& e);
void showStandardError(const QString& text);

// Runs one user command. An error that the command did not catch ends the
// command and is shown in the standard error box. This is the one place where
// handlers' errors are caught: connect handlers through command().
template <typename F>
void runGuarded(F&& f) noexcept
{
    try {
        std::forward<F>(f)();
    } catch (const std::exception& e) {
        showStandardError(e);
    } catch (...) {
        showStandardError(QStringLiteral("Errore imprevisto."));
    }
}

// command(this, &TfrmMain::btnDocumentiClick) gives a slot that runs the
// handler guarded; extra signal arguments are passed on when the handler takes them.
template <typename Obj, typename... HArgs>
auto command(Obj* obj, void (Obj::*handler)(HArgs...))
{
    return [obj, handler](auto&&... args) {
        runGuarded([&] {
            if constexpr (sizeof...(HArgs) == 0)
                (obj->*handler)();
            else
                (obj->*handler)(std::forward<decltype(args)>(args)...);
        });
    };
}

} // namespace orv
