#pragma once

#include "FrameRenderer.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace velra::preview {

// The generated script played over the background, frame by frame, before it is saved. Changes
// nothing: it only shows.
class PreviewWindow final : public QWidget
{
    Q_OBJECT

public:
    PreviewWindow(std::unique_ptr<FrameRenderer> renderer, QWidget *parent);

    qsizetype frame() const { return m_frame; }
    // The frame asked for is still being drawn ("描画中…" shows over the last one drawn).
    bool isDrawing() const;
    bool isPlaying() const { return m_timer.isActive(); }

    void showFrame(qsizetype k);
    void togglePlay();
    // Where each move of a chain begins (its first frame), marked on the slider.
    void setSegmentStarts(const QList<qsizetype> &frames);
    QList<qsizetype> segmentStarts() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Canvas;

    void tick();
    void updatePlayButton();

    std::unique_ptr<FrameRenderer> m_renderer;
    qsizetype m_frame = 0;
    QTimer m_timer;
    QTimer m_prepare;
    Canvas *m_canvas;
    QPushButton *m_play;
    QSlider *m_slider;
    QLabel *m_number;
    QSpinBox *m_speed;
    QCheckBox *m_loop;
    bool m_placed = false;
};

} // namespace velra::preview
