#pragma once

#include "ExportDialog.h"
#include "render/FrameRenderer.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class QSlider;
class QSpinBox;

namespace velra {
class Toolkit;
}

namespace velra::preview {

// The generated script played over the background, frame by frame, before it is saved. Changes
// nothing: it only shows.
class PreviewWindow final : public QWidget
{
    Q_OBJECT

public:
    PreviewWindow(std::unique_ptr<render::FrameRenderer> renderer, QWidget *parent);
    ~PreviewWindow() override;

    // Shows 書き出し… (Ctrl+E), which asks through `toolkit`'s dialogs; its save dialog opens in the
    // folder `folder` names at that moment. Its settings start as `last` and are handed to `chosen`
    // once the author has chosen them.
    void setExporting(Toolkit &toolkit, std::function<QString()> folder, const ExportChoices &last = {},
                      std::function<void(const ExportChoices &)> chosen = {});

    qsizetype frame() const { return m_frame; }
    // The frame asked for is still being drawn ("描画中…" shows over the last one drawn).
    bool isDrawing() const;
    bool isPlaying() const { return m_timer.isActive(); }

    void showFrame(qsizetype k);
    void togglePlay();
    // Where each move of a chain begins (its first frame), marked on the slider.
    void setSegmentStarts(const QList<qsizetype> &frames);
    QList<qsizetype> segmentStarts() const;

    // 書き出し…: the motion as an animated WebP or GIF at the window's speed, looping when くり返す
    // is ticked. It runs beside the window, which keeps answering; cancelExport() stops it and
    // leaves what was on disk.
    void exportAnimation();
    void cancelExport();
    bool isExporting() const { return m_exportThread != nullptr; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Canvas;
    struct ExportJob;

    void exportEnded();

    void tick();
    void updatePlayButton();

    std::unique_ptr<render::FrameRenderer> m_renderer;
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
    Toolkit *m_toolkit = nullptr;
    std::function<QString()> m_exportFolder;
    ExportChoices m_exportChoices; // the last export's, offered again
    std::function<void(const ExportChoices &)> m_exportChosen;
    QLabel *m_exportState;
    QPushButton *m_export;
    QWidget *m_exportRow;
    QProgressBar *m_exportProgress;
    std::shared_ptr<ExportJob> m_job;
    QThread *m_exportThread = nullptr;
    QTimer m_exportPoll;
};

} // namespace velra::preview
