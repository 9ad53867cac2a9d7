#pragma once
#include "platform/Dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <variant>
#include <vector>

namespace orv::test {

// Records every dialog request and answers from a script. Installed for the
// lifetime of the object. An unscripted request fails the running test and
// gets the cancel-like answer, so a forgotten question never hangs a test.
class ScriptedDialogs final : public Dialogs {
public:
    struct Record {
        enum Kind { Message, Input, File, Print, PrinterSetup, Exec } kind;
        MessageRequest message;  // Message
        InputRequest input;      // Input
        FileRequest file;        // File
        PrintRequest print;      // Print
        QString windowName;      // Exec: objectName() of the window
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers, consumed in order per kind.
    void answerMessage(int button);
    void answerInput(std::optional<QString> text);
    void answerFile(std::optional<QString> path, int filterIndex = 1);
    void answerPrint(bool ok, int fromPage = 0, int toPage = 0);
    void answerPrinterSetup(bool ok);
    // A modal window: the handler gets the window (already set up by its
    // caller, not shown) and returns the result code.
    void answerExec(std::function<int(QObject*)> handler);

    const std::vector<Record>& records() const { return m_records; }
    std::vector<MessageRequest> messages() const;
    void clear();
    // Fails the test if answers were scripted and never asked for.
    void expectAllUsed() const;

    int message(const MessageRequest& request) override;
    std::optional<QString> input(const InputRequest& request) override;
    std::optional<QString> file(FileRequest& request) override;
    bool print(PrintRequest& request) override;
    bool printerSetup(QPrinter* printer) override;
    int exec(QObject* window) override;

private:
    std::vector<Record> m_records;
    std::deque<int> m_messageAnswers;
    std::deque<std::optional<QString>> m_inputAnswers;
    std::deque<std::pair<std::optional<QString>, int>> m_fileAnswers;
    std::deque<std::tuple<bool, int, int>> m_printAnswers;
    std::deque<bool> m_setupAnswers;
    std::deque<std::function<int(QObject*)>> m_execAnswers;
};

} // namespace orv::test
