// The reference for the start-up benchmark: the least a Qt Widgets program does to
// put a window of the same size on the screen, built with the same options.

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

class PlainWindow : public QWidget {
public:
    PlainWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) { setFixedSize(557, 374); }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(208, 209, 208)); }
};

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    PlainWindow window;
    const QRect area = QGuiApplication::primaryScreen()->geometry();
    window.move(area.left() + (area.width() - window.width()) / 2, area.top() + (area.height() - window.height()) / 2);
    window.show();
    return application.exec();
}
