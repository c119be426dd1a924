#include "ConverterOutput.h"

#include "ConverterStatus.h"
#include "FailureText.h"
#include "ProgressLine.h"

namespace conversion {

ConverterOutput::ConverterOutput(ProgressReport report) : m_report(std::move(report)) {}

void ConverterOutput::read(QByteArrayView chunk)
{
    // Only the new bytes can hold a line end: the tail had none.
    qsizetype end = chunk.indexOf('\n');
    if (end >= 0)
        end += m_tail.size();
    m_tail += chunk;
    qsizetype start = 0;
    for (; end >= 0; start = end + 1, end = m_tail.indexOf('\n', start)) {
        if (m_skippingLine)
            m_skippingLine = false;  // the end of the line too long to keep
        else
            takeLine(QByteArrayView(m_tail).sliced(start, end - start));
    }
    m_tail.remove(0, start);
    if (m_tail.size() > kLongestLine) {
        m_tail.clear();
        m_skippingLine = true;
    }
}

void ConverterOutput::end()
{
    read("\n");
    m_tail.clear();
    m_skippingLine = false;
}

void ConverterOutput::takeLine(QByteArrayView line)
{
    line = line.trimmed();
    if (line.startsWith(tovaro::kConverterMessagePrefix)) {
        m_lastError = QString::fromUtf8(line);
        if (resultChange(m_lastError) && m_changes.size() < kMostChanges)
            m_changes << m_lastError;
        return;
    }
    const auto progress = ProgressLine::read(line);
    if (!progress)
        return;
    const std::optional<int> percent = progress->percent();
    // Compared as told: an optional holding "unknown" is not equal to "unknown".
    if (m_lastPercent && *m_lastPercent == percent)
        return;
    m_lastPercent = percent;
    if (m_report)
        m_report(percent);
}

}  // namespace conversion
