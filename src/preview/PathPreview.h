#pragma once

#include "FrameRenderer.h"

#include <QWidget>

#include <memory>

namespace velra::preview {

// A small view of a whole move: the last frame as the renderer draws it, the first frame's picture
// outlined, and the path of the picture's centre between them.
class PathPreview final : public QWidget
{
    Q_OBJECT

public:
    explicit PathPreview(QWidget *parent);

    // Shows the move of `script` (null renderer: `why` instead).
    void setMove(std::unique_ptr<FrameRenderer> renderer, const QString &why = {});
    const FrameRenderer *renderer() const { return m_renderer.get(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<FrameRenderer> m_renderer;
    QString m_why;
};

} // namespace velra::preview
