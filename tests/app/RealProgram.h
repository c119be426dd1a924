#pragma once
// The built program in a real X session (Xvfb + openbox, from tests/with-display.sh):
// started from an application folder of its own, found on the screen, driven with
// xdotool and photographed with ImageMagick's import.

#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <QApplication>
#include <QTest>

#include <memory>

namespace realwindow {

// Ends a test program with its status, without the leak check at exit: GCC 12's
// leak checker now and then reads a bogus dynamic TLS range of the X11 platform
// plugin in these programs and dies ("Tracer caught signal 11"), failing a run
// that passed. The program under test keeps its own leak check.
[[noreturn]] void endTestProgram(int status);

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
// A point in the middle of the window's banner, never the colour of the bare desktop.
constexpr QPoint kBannerMiddle{278, 187};

// Runs a helper tool to its end and returns what it printed.
QString run(const QString& program, const QStringList& arguments);
void xdotool(const QStringList& arguments);
void moveTo(QPoint global);
void clickAt(QPoint global, int button = 1);
void typeText(const QString& text);
void pressKeys(const QString& keys);  // e.g. "Return", "ctrl+a"
QImage screenshot(const QString& path);

// Waits for a top-level window with this exact title to be viewable; returns its id
// (empty when none came within `timeoutMs`) and where it is on the screen.
QString waitForWindow(const QString& title, QPoint* origin = nullptr, int timeoutMs = 10000);

// The window with the keyboard focus, named as waitForWindow names it.
QString activeWindow();

// True while the window with this id is mapped and viewable.
bool isViewable(const QString& windowId);

class RealProgram {
public:
    // `applicationFolder` is created; the program (and, when given, the converter
    // under its delivered name) are copied into it.
    RealProgram(const QString& programFile, const QString& applicationFolder, const QString& converterFile = {});
    ~RealProgram();

    // Extra environment for the next start (TMPDIR, PATH, ...). No session bus unless
    // a test gives one: on the desktop's bus, the program would hand its files to a
    // copy open there and end.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // What the next start is given on its command line.
    QStringList arguments;

    bool start();
    void kill();
    QProcess& process() { return *m_process; }
    const QString& applicationFolder() const { return m_application; }
    const QString& programPath() const { return m_program; }
    // Where the program looks for its converter.
    QString converterPath() const;
    const QString& windowId() const { return m_windowId; }
    QPoint origin() const { return m_origin; }
    // How many windows of the program are on the screen: its main window, and any
    // dialog, popup menu or open list above it.
    int visibleWindows() const;
    // Brings the window to the front with the keyboard focus; false when it did not get it.
    bool raise();

private:
    QString m_application;
    QString m_program;
    std::unique_ptr<QProcess> m_process;
    QString m_windowId;
    QPoint m_origin;
};

}  // namespace realwindow

// QTEST_MAIN for the real-window test programs, ending through endTestProgram().
#define REALWINDOW_TEST_MAIN(TestObject)                             \
    int main(int argc, char* argv[])                                 \
    {                                                                \
        QApplication app(argc, argv);                                \
        app.setAttribute(Qt::AA_Use96Dpi, true);                     \
        TestObject test;                                             \
        realwindow::endTestProgram(QTest::qExec(&test, argc, argv)); \
    }
