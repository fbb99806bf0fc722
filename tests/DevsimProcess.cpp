#include "DevsimProcess.h"

#include <QDeadlineTimer>

DevsimProcess::~DevsimProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

QString DevsimProcess::Program() { return qEnvironmentVariable("QUILLON_DEVSIM"); }

void DevsimProcess::ReadOutput()
{
    pending_ += process_.readAllStandardOutput();
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        lines_.append(QString::fromLocal8Bit(pending_.left(end)));
        pending_.remove(0, end + 1);
    }
    stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
}

bool DevsimProcess::Start(const QStringList& arguments, int timeoutMs)
{
    lines_.clear();
    pending_.clear();
    error_.clear();
    stderr_.clear();
    if (Program().isEmpty()) {
        error_ = "QUILLON_DEVSIM is not set";
        return false;
    }
    if (namespace_.isEmpty())
        process_.start(Program(), arguments);
    else
        process_.start(QStringLiteral("ip"), QStringList{"netns", "exec", namespace_, Program()} + arguments);
    if (!process_.waitForStarted(timeoutMs)) {
        error_ = "cannot start " + Program() + ": " + process_.errorString();
        return false;
    }
    if (!WaitForLine(" listening on ", timeoutMs)) {
        error_ = process_.state() == QProcess::NotRunning
                     ? QString("the simulator ended with exit status %1 before listening").arg(process_.exitCode())
                     : QString("no listening line within %1 ms").arg(timeoutMs);
        return false;
    }
    return true;
}

bool DevsimProcess::Stop(int timeoutMs)
{
    if (process_.state() == QProcess::NotRunning) {
        ReadOutput();
        error_ = QString("the simulator had already ended, exit status %1").arg(process_.exitCode());
        return false;
    }
    process_.terminate();  // SIGTERM
    if (!process_.waitForFinished(timeoutMs)) {
        error_ = QString("the simulator did not end within %1 ms of SIGTERM").arg(timeoutMs);
        process_.kill();
        process_.waitForFinished(3000);
        return false;
    }
    ReadOutput();
    if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) {
        error_ = QString("the simulator ended with exit status %1 (%2)")
                     .arg(process_.exitCode())
                     .arg(process_.exitStatus() == QProcess::NormalExit ? "normal exit" : "crashed");
        return false;
    }
    return true;
}

bool DevsimProcess::WaitForLine(const QString& text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    qsizetype checked = 0;
    for (;;) {
        ReadOutput();
        for (; checked < lines_.size(); ++checked) {
            if (lines_[checked].contains(text))
                return true;
        }
        if (process_.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        process_.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
}

QStringList DevsimProcess::Lines()
{
    ReadOutput();
    return lines_;
}

QString DevsimProcess::ErrorText()
{
    ReadOutput();
    return stderr_.isEmpty() ? error_ : error_ + "; stderr: " + stderr_.trimmed();
}
