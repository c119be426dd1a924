#include "RealProgram.h"

#include "ConverterName.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>

#include <unistd.h>

namespace realwindow {

void endTestProgram(int status)
{
    std::fflush(nullptr);
    ::_exit(status);
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    // The tools read and write text (xdotool types Chinese paths) as UTF-8, whatever
    // locale the program under test runs in.
    QProcessEnvironment tools = QProcessEnvironment::systemEnvironment();
    tools.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(tools);
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

void xdotool(const QStringList& arguments) { run(QStringLiteral("xdotool"), arguments); }

void moveTo(QPoint global)
{
    xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())});
}

void clickAt(QPoint global, int button)
{
    moveTo(global);
    xdotool({QStringLiteral("click"), QString::number(button)});
}

void typeText(const QString& text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

void pressKeys(const QString& keys) { xdotool({QStringLiteral("key"), keys}); }

QImage screenshot(const QString& path)
{
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

QString waitForWindow(const QString& title, QPoint* origin, int timeoutMs)
{
    static const QRegularExpression idPattern(QStringLiteral("Window id: (0x[0-9a-f]+)"));
    static const QRegularExpression xPattern(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)"));
    static const QRegularExpression yPattern(QStringLiteral("Absolute upper-left Y:\\s+(-?\\d+)"));
    QString info;
    if (!QTest::qWaitFor(
            [&] {
                info = run(QStringLiteral("xwininfo"), {QStringLiteral("-name"), title});
                return info.contains(QStringLiteral("IsViewable"));
            },
            timeoutMs))
        return QString();
    if (origin)
        *origin = {xPattern.match(info).captured(1).toInt(), yPattern.match(info).captured(1).toInt()};
    return idPattern.match(info).captured(1);
}

QString activeWindow()
{
    // xdotool names windows in decimal, xwininfo in hexadecimal.
    const qulonglong id = run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed().toULongLong();
    return id ? QStringLiteral("0x%1").arg(id, 0, 16) : QString();
}

bool isViewable(const QString& windowId)
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId}).contains(QStringLiteral("IsViewable"));
}

RealProgram::RealProgram(const QString& programFile, const QString& applicationFolder, const QString& converterFile)
    : m_application(applicationFolder),
      m_program(applicationFolder + QStringLiteral("/tovaro"))
{
    const auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QDir().mkpath(m_application);
    QFile::remove(m_program);
    QFile::copy(programFile, m_program);
    QFile::setPermissions(m_program, executable);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    if (!converterFile.isEmpty()) {
        const QString converter = converterPath();
        QFile::remove(converter);
        QFile::copy(converterFile, converter);
        QFile::setPermissions(converter, executable);
    }
}

RealProgram::~RealProgram() { kill(); }

QString RealProgram::converterPath() const
{
    return m_application + QLatin1Char('/') + QString::fromLatin1(tovaro::kConverterFileName);
}

bool RealProgram::start()
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    m_process->setWorkingDirectory(QDir::rootPath());  // it finds its files relative to itself
    m_process->start(m_program, arguments);
    if (!m_process->waitForStarted(10000))
        return false;
    m_windowId = waitForWindow(QStringLiteral("Tovaro PRO"), &m_origin);
    if (m_windowId.isEmpty())
        return false;
    // The first frame is on the screen once the banner's middle is no longer the
    // desktop behind it.
    const QString shot = m_application + QStringLiteral("/../first-frame.png");
    return QTest::qWaitFor([&] {
        const QImage screen = screenshot(shot);
        return screen.pixel(m_origin + kBannerMiddle) != screen.pixel(0, 0);
    });
}

void RealProgram::kill()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

int RealProgram::visibleWindows() const
{
    const QString ids =
        run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--pid"), QString::number(m_process->processId())});
    return static_cast<int>(ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

bool RealProgram::raise()
{
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_windowId});
    return QTest::qWaitFor([this] { return activeWindow() == m_windowId; });
}

}  // namespace realwindow
