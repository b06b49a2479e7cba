#pragma once

#include "script/ScrollScript.h"

#include <QElapsedTimer>
#include <QProgressBar>

namespace velra {

// Gives the progress bar the frame index before each frame. The loop does not give way to events,
// so every visible change of the bar is a synchronous repaint: the bar is repainted at most once a
// display frame, and the last index always reaches it.
class BarProgress final : public GenerationProgress
{
public:
    explicit BarProgress(QProgressBar *bar)
        : m_bar(bar)
    {
    }

    void setMaximum(int maximum) override
    {
        m_bar->setMaximum(maximum);
        m_clock.start();
    }

    void setValue(int frameIndex) override
    {
        m_last = frameIndex;
        // Reading the clock costs as much as building a frame: look at it every 256 frames only.
        if ((frameIndex & 0xFF) == 0 && m_clock.elapsed() >= kRepaintMs) {
            m_bar->setValue(frameIndex);
            m_clock.restart();
        }
    }

    // The bar painted at its last value now: the completion message that follows is modal, and an
    // update left to the event loop would show an empty bar behind it.
    void finish() const
    {
        m_bar->setValue(m_last);
        m_bar->repaint();
    }

private:
    static constexpr int kRepaintMs = 16;
    QProgressBar *m_bar;
    QElapsedTimer m_clock;
    int m_last = 0;
};

} // namespace velra
