// conv.dll as a program: usage errors, --help, --version, exit statuses.

#include "conv_test_support.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace convtest;

class ConverterCommandLineTest : public QObject {
    Q_OBJECT

private slots:
    // Which command lines are wrong is the parser's business (tst_conv_logic);
    // here: how the program reports them.
    void usageErrorsExitWithTwoAndOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const QStringList good = windowCommand(QStringLiteral("in.avi"), QStringLiteral("out.3gp"));
        const auto with = [&](const QString& option, const QString& value) {
            QStringList changed = good;
            changed[changed.indexOf(option) + 1] = value;
            return changed;
        };
        QTest::newRow("unknown option") << (QStringList{QStringLiteral("-q")} + good);
        QTest::newRow("missing value") << (QStringList{QStringLiteral("-i"), QStringLiteral("in.avi"),
                                                       QStringLiteral("out.3gp"), QStringLiteral("-r")});
        QTest::newRow("rate zero") << with(QStringLiteral("-r"), QStringLiteral("0"));
        QTest::newRow("size not WxH") << with(QStringLiteral("-s"), QStringLiteral("qcif"));
        QTest::newRow("size odd") << with(QStringLiteral("-s"), QStringLiteral("177x144"));
        QTest::newRow("no output") << good.mid(0, good.size() - 1);
        QTest::newRow("two inputs") << (QStringList{QStringLiteral("-i"), QStringLiteral("other.avi")} + good);
    }
    void usageErrorsExitWithTwoAndOneLine()
    {
        QFETCH(QStringList, arguments);
        const RunResult result = runConv(arguments, 60);
        QVERIFY2(result.exitedWith(2), result.standardError.constData());
        QCOMPARE(result.messages().size(), 1);
        QVERIFY(result.messages().first().startsWith(kMessagePrefix));
    }

    void helpDocumentsProgressAndAmrLimit()
    {
        const RunResult result = runConv({QStringLiteral("--help")}, 60);
        QVERIFY(result.exitedWith(0));
        QVERIFY(result.standardError.isEmpty());
        const QString help = QString::fromUtf8(result.standardOutput);
        QVERIFY(help.contains(QLatin1String("progress: time=SECONDS duration=SECONDS")));
        QVERIFY(help.contains(QLatin1String("12.2")));
        for (const char* option : {"-i", "-vcodec", "-b", "-r", "-s", "-acodec", "-ac", "-f", "-ar", "-ab", "-y"})
            QVERIFY2(help.contains(QLatin1String("  ") + QLatin1String(option) + QLatin1Char(' ')), option);
        // The containers it reads, not "anything FFmpeg reads", which it refuses.
        for (const char* container : {" avi", " asf", " flv", " matroska/webm", " mpegts", " rm", " ogg", " wav"})
            QVERIFY2(help.contains(QLatin1String(container)), container);
        QVERIFY(!help.contains(QLatin1String("any container")));
    }

    void versionAnswers()
    {
        const RunResult result = runConv({QStringLiteral("--version")}, 60);
        QVERIFY(result.exitedWith(0));
        QVERIFY(result.standardOutput.startsWith("conv.dll "));
    }

    void failedConversionExitsWithItsKindAndOneLine_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("status");
        QTest::newRow("missing input") << QStringLiteral("no-such-file.avi") << QStringLiteral("176x144") << 3;
        // Sizes H.263 cannot code are refused before the input is even read.
        QTest::newRow("absurd size") << QStringLiteral("no-such-file.avi") << QStringLiteral("99998x99998") << 2;
        QTest::newRow("not a multiple of 4") << QStringLiteral("no-such-file.avi") << QStringLiteral("130x98") << 2;
    }
    void failedConversionExitsWithItsKindAndOneLine()
    {
        QFETCH(QString, input);
        QFETCH(QString, size);
        QFETCH(int, status);
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("out.3gp"));
        const RunResult result = runConv(windowCommand(dir.filePath(input), output, size), 60);
        QVERIFY2(result.exitedWith(status), result.standardError.constData());
        QCOMPARE(result.messages().size(), 1);
        QVERIFY(result.messages().first().startsWith(kMessagePrefix));
        QVERIFY(!QFile::exists(output));
    }
};

QTEST_GUILESS_MAIN(ConverterCommandLineTest)
#include "tst_conv_command_line.moc"
