#pragma once
// What the conversion probes share: stand-in scripts and clicks on the window.

#include <QFile>
#include <QString>
#include <QTest>
#include <QWidget>

namespace probe {

inline void writeScript(const QString& path, const QString& body)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write((QStringLiteral("#!/bin/sh\n") + body).toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A tool-bar button clicked, as the user would: Add is 0, Convert 2. Convert returns
// once its run has ended.
inline void clickButton(QWidget& window, int index)
{
    QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("imgButton_%1").arg(index)), Qt::LeftButton);
}

}  // namespace probe
