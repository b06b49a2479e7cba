#pragma once

#include "model/Run.h"

#include <QList>
#include <QString>
#include <QUndoStack>

#include <array>
#include <functional>

namespace velra {

// A move as the chain editor's boxes hold it: texts as typed, so that a half-typed value stays as
// it is.
struct ChainRow
{
    QString x;
    QString y;
    Segment::Motion motion = Segment::Motion::DotsPerFrame;
    QString dots = QStringLiteral("4");
    QString frames = QStringLiteral("30");
    Segment::Curve curve = Segment::Curve::Linear;
    std::array<QString, 4> bezier; // kept while another curve is chosen, for カスタム to bring back
    QString hold = QStringLiteral("0");
    friend bool operator==(const ChainRow &, const ChainRow &) = default;
};

// Everything the author edits on the chain editor, and the move being edited.
struct ChainEdit
{
    QString startX;
    QString startY;
    QString holdStart;
    int background = 1;
    QList<ChainRow> rows;
    int current = 0;

    // The values alone: choosing another move to edit is no edit.
    bool sameValues(const ChainEdit &other) const
    {
        return startX == other.startX && startY == other.startY && holdStart == other.holdStart
            && background == other.background && rows == other.rows;
    }
};

// The chain editor's undo and redo. An edit becomes a step when it is committed: a typed value when
// its box is left or Enter is pressed, anything else at once. Each step keeps the whole edit before
// and after it, so that undoing one never touches what the others did, and nothing typed and
// committed is ever lost: what an undo takes away, a redo brings back.
class ChainHistory
{
public:
    ChainHistory(std::function<ChainEdit()> read, std::function<void(const ChainEdit &)> apply);

    // Starts afresh from the edit as it stands: nothing to undo.
    void reset();
    // Makes what changed since the last step a step of its own.
    void commit();
    // The author chose another move to edit: the next step's undo shows it.
    void select(int current);
    // True while the values differ from the last step's: a box holds typing not yet committed.
    bool pending() const;
    // Any pending typing is committed first, so that neither loses it.
    void undo();
    void redo();

    static constexpr int kSteps = 500;

private:
    class Step;
    void applied(const ChainEdit &edit);

    std::function<ChainEdit()> m_read;
    std::function<void(const ChainEdit &)> m_apply;
    ChainEdit m_committed;
    QUndoStack m_stack;
};

} // namespace velra
