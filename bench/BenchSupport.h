#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

/// Helpers shared by the benchmarks: a generated novel, timing, memory.
namespace bench {

/// A Chinese novel of about `utf8Bytes` bytes in UTF-8: common hanzi, Chinese
/// and ASCII punctuation, paragraphs indented by two U+3000, and a heading
/// line "第N章 ..." every `linesPerChapter` lines. Deterministic.
QString generateNovel(qint64 utf8Bytes, int linesPerChapter = 60);

/// Median wall time in milliseconds of `runs` calls.
double medianMs(int runs, const std::function<void()> &work);

/// Wall time of one call in milliseconds.
double timeMs(const std::function<void()> &work);

/// Resets the peak resident size to the current one (Linux clear_refs).
void resetPeakMemory();
/// Current and peak resident size in bytes (VmRSS, VmHWM).
qint64 residentBytes();
qint64 peakResidentBytes();

double percentile(QVector<double> values, double p);

} // namespace bench
