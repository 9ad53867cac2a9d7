#pragma once
#include <QString>
#include <QStringList>
#include <optional>

class QObject;
class QPrinter;

namespace orv {

// Every message box, question, input box, file dialog, print dialog, printer
// set-up and modal window of the program goes through this one interface.
// The program installs the Qt implementation; tests install a scripted one
// that records each request and answers as told.

enum class MessageIcon { None, Information, Warning, Critical, Question };

// Buttons of a message box, and its answer (0 when it was closed otherwise).
enum MessageButton : int {
    mbOK = 0x01,
    mbCancel = 0x02,
    mbYes = 0x04,
    mbNo = 0x08,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
};

struct MessageRequest {
    QString caption;
    QString text; // may hold "\r" line breaks, shown as new lines
    MessageIcon icon = MessageIcon::None;
    int buttons = mbOK;
    int defaultButton = 0; // 0: the first button
};

struct InputRequest {
    QString caption;
    QString prompt;
    QString value; // initial text
};

struct FileRequest {
    enum Kind { Open, Save };
    Kind kind = Open;
    QString caption;
    // Windows-style filter: "Formato Word (*.doc)|*.doc|Tutti i file (*.*)|*.*"
    QString filter;
    int filterIndex = 1;   // 1-based; the chosen one on return
    QString defaultExt;    // without dot, added when the name has none
    QString initialDir;
    QString fileName;      // initial name
    bool overwritePrompt = false;
    bool fileMustExist = false;
};

struct PrintRequest {
    QPrinter* printer = nullptr;
    int minPage = 1;
    int maxPage = 1;
    int fromPage = 1;
    int toPage = 1;
    bool allPages = true; // false when the user chose a page range
    int copies = 1;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual int message(const MessageRequest& request) = 0;
    virtual std::optional<QString> input(const InputRequest& request) = 0;
    virtual std::optional<QString> file(FileRequest& request) = 0;
    virtual bool print(PrintRequest& request) = 0;
    virtual bool printerSetup(QPrinter* printer) = 0;
    // Shows a window modally (a QDialog or any top-level widget) and returns
    // its result code.
    virtual int exec(QObject* window) = 0;
};

// The installed implementation. Until one is installed, a fallback answers
// every question with its cancel-like choice and writes the text to stderr.
Dialogs& dialogs();
// Installs an implementation (not owned); nullptr brings back the fallback.
void setDialogs(Dialogs* dialogs);

// The application's title, the caption of plain message boxes.
QString applicationTitle();
void setApplicationTitle(const QString& title);

// A plain message box: the application's title as caption and an OK button.
void showMessage(const QString& text, MessageIcon icon = MessageIcon::None);
// A message box with a caption, an icon and buttons; returns the button pressed.
int messageBox(const QString& caption, const QString& text, MessageIcon icon, int buttons, int defaultButton = 0);

} // namespace orv
