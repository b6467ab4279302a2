#pragma once

#include "ChapterRule.h"
#include "OffsetMap.h"
#include "TextTransform.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

/// The text a book shows, and its map from the decoded text: the decoded
/// text itself, or what a TextTransform makes of it. A short text is shaped
/// at once; a long one first just around the reading place (so the page
/// shows at once), the rest on a worker, and finished() tells when the
/// whole is there.
class ShownText : public QObject
{
    Q_OBJECT

public:
    ShownText();
    ~ShownText() override;

    /// The transform for the texts shaped from now on; null: none.
    void setTransform(std::shared_ptr<const TextTransform> transform);
    bool hasTransform() const { return bool(transform); }
    const TextTransform *currentTransform() const { return transform.get(); }
    /// Shows `decoded`, whose headings `rule` finds. With a transform and a
    /// long text, only the stretch around `place` is shown until finished();
    /// with `keepShown` what is shown now stays until then.
    void shape(const QString &decoded, int place, const ChapterRule &rule, bool keepShown = false);
    /// Shows decoded[from, to) (line starts or ends) of a text read only
    /// there so far; shape() with `keepShown` follows once the rest is read.
    void shapeStretch(const QString &decoded, int from, int to, const ChapterRule &rule);
    /// The whole text is shaped.
    bool isComplete() const { return complete; }
    /// Waits for the rest and takes it in (finished() then follows at once).
    void wait();
    /// Stops the work on the rest; what is shown stays.
    void cancel();
    const QString &text() const { return text_; }
    const OffsetMap &map() const { return map_; }
    /// Where a place of the text shown before the last change of text stands
    /// now, given how far the decoded text moved (`shift`).
    int carried(int position, int shift) const;

signals:
    /// The whole text is shaped; the text and the map have changed.
    void finished();
    /// The transform left out rules that ran over their time.
    void ranOver(const QStringList &names);

private:
    struct Result
    {
        QString text;
        OffsetMap map;
        QStringList runaway;
        bool done = false;
    };
    void take(const Result &result);
    void showStretch(const QString &decoded, int from, int to, const ChapterRule &rule);
    void onFinished();

    std::shared_ptr<const TextTransform> transform;
    QString source; // the decoded text shaped last
    QString text_;
    OffsetMap map_;
    OffsetMap previous;
    bool complete = true;
    QFutureWatcher<Result> shaping;
    std::shared_ptr<std::atomic<bool>> stop;
};
