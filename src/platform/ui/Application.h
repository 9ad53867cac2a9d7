#pragma once
#include <QApplication>

namespace orv {

// The program's application object. An error that escapes an event handler
// (one not connected through orv::command) still reaches the standard error
// box here, and the program goes on.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace orv
