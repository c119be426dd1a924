#pragma once
// A cheap sign that a window of this program is open in the user's session: a
// listening local socket in $XDG_RUNTIME_DIR. Asking costs one connect(), far less
// than joining the session bus, so a start can decide before it makes its window
// whether to hand its files over; the window takes the bus name and raises the sign
// once its first frame is on the screen.

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace platform {

class WindowMarker : public QObject {
    Q_OBJECT
public:
    // `name` is the file's name in $XDG_RUNTIME_DIR; without that folder there is no sign.
    explicit WindowMarker(const QString& name, QObject* parent = nullptr);
    ~WindowMarker() override;
    WindowMarker(const WindowMarker&) = delete;
    WindowMarker& operator=(const WindowMarker&) = delete;

    // True when another program holds the sign (a socket left by one that died does not count).
    bool heldElsewhere() const;
    // Raises the sign for this program; false when it cannot.
    bool hold();

private:
    QString m_path;
    int m_socket = -1;
    QSocketNotifier* m_callers = nullptr;
};

}  // namespace platform
