// Replays the fuzzers' seed corpus and every input a fuzzer ever found a
// fault with (tests/fuzz/corpus and tests/fuzz/regressions) through the
// fuzzers' own checks, in every ordinary build. A finding is kept by
// copying its input into regressions/<target>/.
#include <QDir>
#include <QFile>
#include <QTest>
#include <functional>

#include "FuzzChecks.h"

namespace {

using Check = std::string (*)(const std::uint8_t*, std::size_t);

void AddRows(const char* target)
{
    int rows = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const QDir dir(QStringLiteral(QUILLON_FUZZ_DIR "/%1/%2").arg(QLatin1String(kind), QLatin1String(target)));
        for (const QFileInfo& file : dir.entryInfoList(QDir::Files, QDir::Name)) {
            if (file.fileName() == QStringLiteral("README.md"))
                continue;
            QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(QLatin1String(kind), file.fileName())))
                << file.absoluteFilePath();
            ++rows;
        }
    }
    if (rows == 0)
        QTest::newRow("no inputs") << QString();
}

void Replay(Check check)
{
    QFETCH(QString, path);
    QVERIFY2(!path.isEmpty(), "no inputs found under " QUILLON_FUZZ_DIR);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray bytes = file.readAll();
    const std::string error = check(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    QVERIFY2(error.empty(), error.c_str());
}

}  // namespace

class TestFuzzCases : public QObject {
    Q_OBJECT

private slots:
    void datagram_data()
    {
        QTest::addColumn<QString>("path");
        AddRows("datagram");
    }
    void datagram() { Replay(&quillon::fuzz::CheckDatagramPath); }

    void addresstext_data()
    {
        QTest::addColumn<QString>("path");
        AddRows("addresstext");
    }
    void addresstext() { Replay(&quillon::fuzz::CheckAddressTexts); }
};

QTEST_MAIN(TestFuzzCases)
#include "tst_fuzzcases.moc"
