// The converter's command line, the result's name and the busy indicator's step.

#include "conversion/ConverterCommand.h"
#include "conversion/ResultName.h"
#include "ui/state/BusyIndicator.h"

#include <QTest>

namespace {

const settings::ConversionSettings kDefaults{QStringLiteral("176x144"), QStringLiteral("14.985"), QStringLiteral("120"),
                                             QStringLiteral("48")};
const command::Folders kWindowsFolders{QStringLiteral("D:\\Tools\\Conv\\data"), QStringLiteral("c:\\tmp"),
                                       QLatin1Char('\\')};

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void reproducesTheWorkedExample()
    {
        const auto command = command::compose(kWindowsFolders, QStringLiteral("E:\\clips\\party.avi"), kDefaults);
        QCOMPARE(command.text, QStringLiteral("D:\\Tools\\Conv\\data\\conv.exe -i c:\\tmp\\tmpFile.avi -vcodec h263 "
                                              "-b 120 -y -r 14.985 -s 176x144 -acodec amr_nb -ac 1 -f 3gp -ar 8000 "
                                              "-ab 48  c:\\tmp\\tmpFile.3gp"));
        // The argument list is the text's words, the program apart, with no empty word.
        QCOMPARE(command.program, QStringLiteral("D:\\Tools\\Conv\\data\\conv.exe"));
        QCOMPARE(command.program + QLatin1Char(' ') + command.arguments.join(QLatin1Char(' ')),
                 QString(command.text).replace(QStringLiteral("  "), QStringLiteral(" ")));
        QCOMPARE(command.inputPath, QStringLiteral("c:\\tmp\\tmpFile.avi"));
        QCOMPARE(command.outputPath, QStringLiteral("c:\\tmp\\tmpFile.3gp"));
    }

    void extensionIsTheLastThreeCharacters_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("input");
        QTest::newRow("two letters") << QStringLiteral("E:\\clips\\talk.rm") << QStringLiteral("c:\\tmp\\tmpFile..rm");
        QTest::newRow("four letters") << QStringLiteral("E:\\clips\\clip.mpeg")
                                      << QStringLiteral("c:\\tmp\\tmpFile.peg");
        QTest::newRow("no extension") << QStringLiteral("E:\\clips\\ab") << QStringLiteral("c:\\tmp\\tmpFile._ab");
        QTest::newRow("3GP source") << QStringLiteral("E:\\clips\\old.3gp") << QStringLiteral("c:\\tmp\\tmpFile.3gp");
    }

    void extensionIsTheLastThreeCharacters()
    {
        QFETCH(QString, source);
        QFETCH(QString, input);
        const auto command = command::compose(kWindowsFolders, source, kDefaults);
        QCOMPARE(command.inputPath, input);
        QCOMPARE(command.arguments.at(1), input);
    }

    void linuxPathsStayInsideTheWorkingFolder()
    {
        const command::Folders folders{QStringLiteral("/opt/My Tools/data"), QStringLiteral("/tmp/tovaro-1000")};
        const auto command = command::compose(folders, QStringLiteral("/home/u/ab"), kDefaults);
        QCOMPARE(command.program, QStringLiteral("/opt/My Tools/data/conv.exe"));  // one piece, blanks and all
        QVERIFY(
            command.text.startsWith(QStringLiteral("/opt/My Tools/data/conv.exe -i /tmp/tovaro-1000/tmpFile._ab ")));
        QCOMPARE(command::workingInputPath(folders, QStringLiteral("/v/a")),
                 QStringLiteral("/tmp/tovaro-1000/tmpFile.v_a"));
        // A character outside the basic plane is kept whole rather than cut in half.
        const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
        QCOMPARE(command::sourceExtension(QStringLiteral("/v/") + face + QStringLiteral("ab"), QLatin1Char('/')),
                 face + QStringLiteral("ab"));
    }

    void selectionsAreTrimmedAndOtherwiseUnchanged()
    {
        const settings::ConversionSettings padded{QStringLiteral(" 352x288  "), QStringLiteral("\t25.0 "),
                                                  QStringLiteral("  5 12"), QStringLiteral("128 ")};
        const auto command = command::compose(kWindowsFolders, QStringLiteral("E:\\party.avi"), padded);
        QCOMPARE(command.text, QStringLiteral("D:\\Tools\\Conv\\data\\conv.exe -i c:\\tmp\\tmpFile.avi -vcodec h263 "
                                              "-b 5 12 -y -r 25.0 -s 352x288 -acodec amr_nb -ac 1 -f 3gp -ar 8000 "
                                              "-ab 128  c:\\tmp\\tmpFile.3gp"));
        QCOMPARE(command.arguments.at(5), QStringLiteral("5 12"));  // one word, as the list holds it
    }

    void resultNameIsTheMomentWithoutLeadingZeros()
    {
        QCOMPARE(result::stamp(QDateTime(QDate(2024, 12, 6), QTime(15, 17, 41))), QStringLiteral("126151741"));
        QCOMPARE(result::stamp(QDateTime(QDate(2024, 3, 1), QTime(9, 5, 3))), QStringLiteral("31953"));
        QCOMPARE(result::stamp(QDateTime(QDate(2024, 1, 11), QTime(1, 2, 3))),
                 result::stamp(QDateTime(QDate(2024, 11, 1), QTime(1, 2, 3))));
        QCOMPARE(result::fileName(QStringLiteral("31953"), 1), QStringLiteral("31953.3gp"));
        QCOMPARE(result::fileName(QStringLiteral("31953"), 2), QStringLiteral("31953-2.3gp"));
    }

    void busyIndicatorWalksAndWraps()
    {
        qint16 step = 8;
        auto colours = busy::tick(step);
        QCOMPARE(step, qint16(9));
        QVERIFY(colours[8] == busy::kHighlight);
        QCOMPARE(std::count(colours.begin(), colours.end(), busy::kPlain), 9);
        colours = busy::tick(step);
        QVERIFY(colours[9] == (busy::Colour{236, 39, 50}));
        QVERIFY(colours[0] == (busy::Colour{249, 117, 125}));
        QCOMPARE(step, qint16(0));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_converter_command.moc"
