// Helpers for the benchmark programs that use Qt: running the sender and
// the programs' own child runs, reading their result lines, medians.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace quillon::bench {

// "key=value key=value ..." into a map.
inline QMap<QString, QString> KeyValues(const QString& line)
{
    QMap<QString, QString> map;
    for (const QString& part : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const auto eq = part.indexOf(QLatin1Char('='));
        if (eq > 0)
            map.insert(part.left(eq), part.mid(eq + 1));
    }
    return map;
}

// A program that sits beside this one (the benchmarks are built together).
inline QString Sibling(const char* name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(name));
}

// The last line of `output` that starts with `prefix`, without the prefix.
inline QString LineStartingWith(const QByteArray& output, const QString& prefix)
{
    QString found;
    for (const QString& line : QString::fromLocal8Bit(output).split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            found = line.mid(prefix.size());
    }
    return found;
}

// Runs this program again with `arguments` and returns its result line
// (the text after "RESULT "), or an empty text after printing why not.
inline QString RunChild(const QStringList& arguments, int timeoutMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished(1000);
        std::fprintf(stderr, "child run %s did not finish in time\n", qPrintable(arguments.join(QLatin1Char(' '))));
        return {};
    }
    const QString line = LineStartingWith(child.readAllStandardOutput(), QStringLiteral("RESULT "));
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || line.isEmpty()) {
        std::fprintf(stderr, "child run %s failed (exit %d)\n", qPrintable(arguments.join(QLatin1Char(' '))),
                     child.exitCode());
        return {};
    }
    return line;
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline void ProcessEventsFor(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace quillon::bench
