#pragma once

#include "ChainEditorModel.h"

#include <QList>
#include <QString>
#include <QUndoStack>

#include <functional>

namespace velra {

// The chain editor's undo and redo. An edit becomes a step when it is committed: a typed value when
// its box is left or Enter is pressed, anything else at once. Each step keeps the whole edit before
// and after it, so that undoing one never touches what the others did, and nothing typed and
// committed is ever lost: what an undo takes away, a redo brings back.
class ChainHistory
{
public:
    // Reads and puts back `model`'s edit; `shown` hears an edit put back, to show it.
    ChainHistory(ChainEditorModel &model, std::function<void(const ChainEdit &)> shown);

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

    ChainEditorModel &m_model;
    std::function<void(const ChainEdit &)> m_shown;
    ChainEdit m_committed;
    QUndoStack m_stack;
};

} // namespace velra
