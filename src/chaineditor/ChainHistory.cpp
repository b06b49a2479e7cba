#include "ChainHistory.h"

namespace velra {

class ChainHistory::Step final : public QUndoCommand
{
public:
    Step(ChainHistory &history, ChainEdit before, ChainEdit after)
        : m_history(history)
        , m_before(std::move(before))
        , m_after(std::move(after))
    {
    }

    void undo() override { m_history.applied(m_before); }
    void redo() override
    {
        // Pushed once it has happened: only a later redo applies it.
        if (m_done)
            m_history.applied(m_after);
        m_done = true;
    }

private:
    ChainHistory &m_history;
    ChainEdit m_before;
    ChainEdit m_after;
    bool m_done = false;
};

ChainHistory::ChainHistory(ChainEditorModel &model, std::function<void(const ChainEdit &)> shown)
    : m_model(model)
    , m_shown(std::move(shown))
{
    m_stack.setUndoLimit(kSteps);
}

void ChainHistory::reset()
{
    m_stack.clear();
    m_committed = m_model.edit();
}

void ChainHistory::commit()
{
    ChainEdit now = m_model.edit();
    if (now.sameValues(m_committed)) {
        m_committed.current = now.current;
        return;
    }
    // An undo shows the move that was chosen when the step began.
    ChainEdit before = std::move(m_committed);
    m_committed = now;
    m_stack.push(new Step(*this, std::move(before), std::move(now)));
}

void ChainHistory::select(int current)
{
    if (!pending())
        m_committed.current = current;
}

bool ChainHistory::pending() const
{
    return !m_model.edit().sameValues(m_committed);
}

void ChainHistory::undo()
{
    commit();
    m_stack.undo();
}

void ChainHistory::redo()
{
    commit();
    m_stack.redo();
}

void ChainHistory::applied(const ChainEdit &edit)
{
    m_committed = edit;
    m_model.edit() = edit;
    m_shown(edit);
}

} // namespace velra
