// Answering modal dialogs and message boxes from a test.
//
// A modal dialog blocks the test in its own event loop (exec()), so the
// answer has to be armed before the code that shows it runs:
//
//     auto answer = quillon::test::AnswerNextModal([](QWidget* modal) {
//         QTest::keyClicks(QApplication::focusWidget(), "secret");
//         QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
//     });
//     const int result = dialog.exec();
//     QVERIFY(answer.Answered());
//
//     auto box = quillon::test::AnswerNextMessageBox();
//     window.someCommand();                  // shows a QMessageBox
//     QCOMPARE(box.Text(), "Cancel Configuration");
//
// Answers are queued: the first one armed (and still alive) answers the
// first modal widget that shows, the next the one after, so a command that
// shows a dialog and then a message box is answered by two answers armed
// in that order. A modal widget is handed to one answer per showing; the
// action runs from the event loop once the widget is visible and active.
//
// Nothing hangs and nothing passes by accident:
//  - no modal widget within timeoutMs: the test fails (at the line that
//    armed the answer) and the pending answers are dropped;
//  - the modal widget is still open timeoutMs after the action ran: the
//    test fails and the widget is closed (close(), then reject(), then
//    hide()), which ends its exec();
//  - the handle is destroyed before its answer ran (the code under test
//    showed nothing): the test fails, unless it has already failed.
// Keep the handle in a local variable: [[nodiscard]] warns when it is
// dropped at once, which would fail straight away.
//
// Header-only: include it and link Qt6::Test and Qt6::Widgets.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <source_location>
#include <utility>

namespace quillon::test {

using ModalAction = std::function<void(QWidget* modal)>;

namespace modal_detail {

struct Answer {
    ModalAction action;
    int timeoutMs = 5000;
    std::source_location where;
    QByteArray testFunction;  // the test function that armed it
    bool answered = false;
    QString text;  // filled by AnswerNextMessageBox
};

inline QByteArray CurrentTestFunction()
{
    const char* name = QTest::currentTestFunction();
    return name ? QByteArray(name) : QByteArray();
}

inline void Fail(const Answer& answer, const QByteArray& message)
{
    const QByteArray full = "AnswerNextModal: " + message;
    // A failure can only be recorded for the test function that is running.
    if (!answer.testFunction.isEmpty() && CurrentTestFunction() == answer.testFunction)
        QTest::qFail(full.constData(), answer.where.file_name(), int(answer.where.line()));
    else
        qCritical("%s (armed in %s at %s:%u)", full.constData(), answer.testFunction.constData(),
                  answer.where.file_name(), unsigned(answer.where.line()));
}

// Closes a modal widget that an action left open, so that its exec() ends.
inline void ForceClose(QWidget* modal)
{
    QPointer<QWidget> guard(modal);
    guard->close();
    if (guard && guard->isVisible())
        if (auto* dialog = qobject_cast<QDialog*>(guard.data()))
            dialog->reject();
    if (guard && guard->isVisible())
        guard->hide();
}

// Remembers whether a widget has been hidden since it was answered.
class HideWatch : public QObject {
public:
    explicit HideWatch(QWidget* widget)
        : widget_(widget)
    {
        widget->installEventFilter(this);
    }
    bool Hidden() const { return hidden_ || !widget_ || !widget_->isVisible(); }
    QWidget* Widget() const { return widget_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget_ && event->type() == QEvent::Hide)
            hidden_ = true;
        return false;
    }

private:
    QPointer<QWidget> widget_;
    bool hidden_ = false;
};

// One per program: polls for modal widgets while answers are queued.
class Responder : public QObject {
public:
    static Responder& Instance()
    {
        static Responder* responder = new Responder;  // lives until exit
        return *responder;
    }

    void Enqueue(std::shared_ptr<Answer> answer)
    {
        if (queue_.empty())
            headSince_.start();
        queue_.push_back(std::move(answer));
        poll_.start();
    }

    void Withdraw(const std::shared_ptr<Answer>& answer)
    {
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if (*it == answer) {
                const bool wasHead = it == queue_.begin();
                queue_.erase(it);
                if (wasHead)
                    headSince_.start();
                return;
            }
        }
    }

private:
    Responder()
    {
        poll_.setInterval(10);
        connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
    }

    bool AlreadyAnswered(QWidget* modal)
    {
        for (auto it = watches_.begin(); it != watches_.end();) {
            if ((*it)->Hidden()) {
                it = watches_.erase(it);
                continue;
            }
            if ((*it)->Widget() == modal)
                return true;
            ++it;
        }
        return false;
    }

    void Poll()
    {
        if (queue_.empty()) {
            poll_.stop();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && !AlreadyAnswered(modal)) {
            std::shared_ptr<Answer> answer = queue_.front();
            queue_.pop_front();
            headSince_.start();
            auto watch = std::make_shared<HideWatch>(modal);
            watches_.push_back(watch);
            // Run the action from a fresh event so that a modal it opens in
            // turn can be answered by the next answer.
            QTimer::singleShot(0, this, [answer, watch] { Run(answer, watch); });
            return;
        }
        if (headSince_.elapsed() > queue_.front()->timeoutMs) {
            const std::shared_ptr<Answer> answer = queue_.front();
            queue_.clear();
            Fail(*answer, "no modal widget showed within " + QByteArray::number(answer->timeoutMs)
                              + " ms");
        }
    }

    static void Run(const std::shared_ptr<Answer>& answer, const std::shared_ptr<HideWatch>& watch)
    {
        QPointer<QWidget> modal = watch->Widget();
        if (!modal)
            return;
        if (!modal->isActiveWindow())
            (void)QTest::qWaitForWindowActive(modal, 1000);
        answer->answered = true;
        if (modal && answer->action)
            answer->action(modal);
        if (!modal || watch->Hidden())
            return;
        QTimer::singleShot(answer->timeoutMs, &Instance(), [answer, watch] {
            if (watch->Hidden())
                return;
            Fail(*answer, "the modal widget was still open " + QByteArray::number(answer->timeoutMs)
                              + " ms after the action ran; closing it");
            ForceClose(watch->Widget());
        });
    }

    QTimer poll_;
    QElapsedTimer headSince_;
    std::deque<std::shared_ptr<Answer>> queue_;
    std::deque<std::shared_ptr<HideWatch>> watches_;
};

}  // namespace modal_detail

// The handle of one armed answer. Destroying it withdraws the answer; if it
// had not run, the test fails (unless it has already failed).
class [[nodiscard]] ModalAnswer {
public:
    explicit ModalAnswer(std::shared_ptr<modal_detail::Answer> answer)
        : answer_(std::move(answer))
    {
        modal_detail::Responder::Instance().Enqueue(answer_);
    }
    ModalAnswer(ModalAnswer&&) noexcept = default;
    ModalAnswer& operator=(ModalAnswer&&) = delete;
    ~ModalAnswer()
    {
        if (!answer_)
            return;
        modal_detail::Responder::Instance().Withdraw(answer_);
        if (!answer_->answered && !QTest::currentTestFailed())
            modal_detail::Fail(*answer_, "no modal widget was shown for this answer");
    }

    // Whether the action has run.
    bool Answered() const { return answer_->answered; }
    // For AnswerNextMessageBox: the text of the message box.
    QString Text() const { return answer_->text; }

private:
    std::shared_ptr<modal_detail::Answer> answer_;
};

// Arms an answer: action runs with the next modal widget (dialog or message
// box) that shows. The action types into it (QTest::keyClicks on
// QApplication::focusWidget()), clicks its buttons, or calls close() to act
// as the window's close control; it should end the modal widget.
inline ModalAnswer AnswerNextModal(ModalAction action, int timeoutMs = 5000,
                                   std::source_location where = std::source_location::current())
{
    auto answer = std::make_shared<modal_detail::Answer>();
    answer->action = std::move(action);
    answer->timeoutMs = timeoutMs;
    answer->where = where;
    answer->testFunction = modal_detail::CurrentTestFunction();
    return ModalAnswer(std::move(answer));
}

// Arms an answer for a QMessageBox: records its text (ModalAnswer::Text())
// and clicks its OK button (or, lacking one, its escape button). A modal
// widget that is not a message box fails the test and is closed.
inline ModalAnswer AnswerNextMessageBox(int timeoutMs = 5000,
                                        std::source_location where = std::source_location::current())
{
    auto answer = std::make_shared<modal_detail::Answer>();
    std::weak_ptr<modal_detail::Answer> weak = answer;
    answer->action = [weak](QWidget* modal) {
        const auto self = weak.lock();
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            modal_detail::Fail(*self, QByteArray("the modal widget is a ") + modal->metaObject()->className()
                                          + ", not a QMessageBox");
            modal_detail::ForceClose(modal);
            return;
        }
        self->text = box->text();
        QAbstractButton* button = box->button(QMessageBox::Ok);
        if (!button)
            button = box->escapeButton();
        if (button)
            button->click();
    };
    answer->timeoutMs = timeoutMs;
    answer->where = where;
    answer->testFunction = modal_detail::CurrentTestFunction();
    return ModalAnswer(std::move(answer));
}

}  // namespace quillon::test
