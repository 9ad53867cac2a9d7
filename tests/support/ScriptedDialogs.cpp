#include "support/ScriptedDialogs.h"

#include <QObject>
#include <gtest/gtest.h>

namespace orv::test {

ScriptedDialogs::ScriptedDialogs() { setDialogs(this); }
ScriptedDialogs::~ScriptedDialogs() { setDialogs(nullptr); }

void ScriptedDialogs::answerMessage(int button) { m_messageAnswers.push_back(button); }
void ScriptedDialogs::answerInput(std::optional<QString> text) { m_inputAnswers.push_back(std::move(text)); }
void ScriptedDialogs::answerFile(std::optional<QString> path, int filterIndex)
{
    m_fileAnswers.emplace_back(std::move(path), filterIndex);
}
void ScriptedDialogs::answerPrint(bool ok, int fromPage, int toPage) { m_printAnswers.emplace_back(ok, fromPage, toPage); }
void ScriptedDialogs::answerPrinterSetup(bool ok) { m_setupAnswers.push_back(ok); }
void ScriptedDialogs::answerExec(std::function<int(QObject*)> handler) { m_execAnswers.push_back(std::move(handler)); }

std::vector<MessageRequest> ScriptedDialogs::messages() const
{
    std::vector<MessageRequest> out;
    for (const Record& r : m_records)
        if (r.kind == Record::Message)
            out.push_back(r.message);
    return out;
}

void ScriptedDialogs::clear()
{
    m_records.clear();
    m_messageAnswers.clear();
    m_inputAnswers.clear();
    m_fileAnswers.clear();
    m_printAnswers.clear();
    m_setupAnswers.clear();
    m_execAnswers.clear();
}

void ScriptedDialogs::expectAllUsed() const
{
    EXPECT_TRUE(m_messageAnswers.empty()) << "unused message answers";
    EXPECT_TRUE(m_inputAnswers.empty()) << "unused input answers";
    EXPECT_TRUE(m_fileAnswers.empty()) << "unused file answers";
    EXPECT_TRUE(m_printAnswers.empty()) << "unused print answers";
    EXPECT_TRUE(m_setupAnswers.empty()) << "unused printer set-up answers";
    EXPECT_TRUE(m_execAnswers.empty()) << "unused modal window answers";
}

int ScriptedDialogs::message(const MessageRequest& request)
{
    Record r{Record::Message, request, {}, {}, {}, {}};
    m_records.push_back(r);
    if (m_messageAnswers.empty()) {
        ADD_FAILURE() << "unscripted message box: " << request.caption.toStdString() << " / "
                      << request.text.toStdString();
        for (int b : {mbCancel, mbNo, mbOK})
            if (request.buttons & b)
                return b;
        return 0;
    }
    const int answer = m_messageAnswers.front();
    m_messageAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::input(const InputRequest& request)
{
    Record r{Record::Input, {}, request, {}, {}, {}};
    m_records.push_back(r);
    if (m_inputAnswers.empty()) {
        ADD_FAILURE() << "unscripted input box: " << request.caption.toStdString();
        return std::nullopt;
    }
    std::optional<QString> answer = std::move(m_inputAnswers.front());
    m_inputAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::file(FileRequest& request)
{
    Record r{Record::File, {}, {}, request, {}, {}};
    m_records.push_back(r);
    if (m_fileAnswers.empty()) {
        ADD_FAILURE() << "unscripted file dialog: " << request.caption.toStdString();
        return std::nullopt;
    }
    auto [path, index] = m_fileAnswers.front();
    m_fileAnswers.pop_front();
    request.filterIndex = index;
    return path;
}

bool ScriptedDialogs::print(PrintRequest& request)
{
    Record r{Record::Print, {}, {}, {}, request, {}};
    m_records.push_back(r);
    if (m_printAnswers.empty()) {
        ADD_FAILURE() << "unscripted print dialog";
        return false;
    }
    auto [ok, from, to] = m_printAnswers.front();
    m_printAnswers.pop_front();
    if (ok && from > 0) {
        request.allPages = false;
        request.fromPage = from;
        request.toPage = to;
    }
    return ok;
}

bool ScriptedDialogs::printerSetup(QPrinter*)
{
    m_records.push_back(Record{Record::PrinterSetup, {}, {}, {}, {}, {}});
    if (m_setupAnswers.empty()) {
        ADD_FAILURE() << "unscripted printer set-up";
        return false;
    }
    const bool ok = m_setupAnswers.front();
    m_setupAnswers.pop_front();
    return ok;
}

int ScriptedDialogs::exec(QObject* window)
{
    m_records.push_back(Record{Record::Exec, {}, {}, {}, {}, window ? window->objectName() : QString()});
    if (m_execAnswers.empty()) {
        ADD_FAILURE() << "unscripted modal window: " << (window ? window->objectName().toStdString() : "");
        return 0;
    }
    auto handler = std::move(m_execAnswers.front());
    m_execAnswers.pop_front();
    return handler(window);
}

} // namespace orv::test
