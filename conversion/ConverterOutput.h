#pragma once
// What the converter writes on stderr while it runs, read as it arrives, in chunks
// that fall anywhere: its progress lines become whole percentages, its own lines
// (kConverterMessagePrefix) the reason for a failure and the changes to the result.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace conversion {

class ConverterOutput {
public:
    // Told the percentage done, or nothing when the source's length is unknown; only
    // when it differs from what it was told last.
    using ProgressReport = std::function<void(std::optional<int> percent)>;

    explicit ConverterOutput(ProgressReport report = {});

    // The next chunk, as it came.
    void read(QByteArrayView chunk);
    // The output has ended: what follows its last line end is a line too.
    void end();

    // The converter's last line of its own, whole; empty when it wrote none.
    const QString& lastError() const { return m_lastError; }
    // Its lines that tell of a result changed from what was asked, the first
    // kMostChanges of them: a converter gone wrong must not fill the box.
    const QStringList& changes() const { return m_changes; }

    // No line is longer: one that is is dropped, not hoarded.
    static constexpr qsizetype kLongestLine = 64 * 1024;
    static constexpr qsizetype kMostChanges = 16;

private:
    void takeLine(QByteArrayView line);

    ProgressReport m_report;
    QByteArray m_tail;            // after the last line end
    bool m_skippingLine = false;  // the tail is the rest of a line too long to keep
    QString m_lastError;
    QStringList m_changes;
    std::optional<std::optional<int>> m_lastPercent;  // what m_report was told last
};

}  // namespace conversion
