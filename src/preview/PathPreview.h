#pragma once

#include "render/FrameRenderer.h"

#include <QWidget>

#include <array>
#include <memory>
#include <vector>

class QPainter;

namespace velra {
struct ChainPlan;
}

namespace velra::preview {

// A small view of a whole chain, drawn from the typed run rather than from a script: the last
// position as the host shows it, the path of the picture's centre through every move, a mark at
// every keyframe, and the chosen move brighter. With the background drawn once or never, the last
// position is an outline rather than every frame's trail.
class PathPreview final : public QWidget
{
    Q_OBJECT

public:
    explicit PathPreview(QWidget *parent);

    // Shows `run`'s chain as `plan` unfolds it, move `selected` (0-based) picked out. `paths` says
    // where the pictures are on disk; `decoded` keeps them decoded between calls.
    void setChain(const Run &run, const ChainPlan &plan, int selected, const QHash<QString, QString> &paths,
                  QHash<QString, QImage> *decoded);
    // Values that give no chain: `why` instead of a drawing.
    void setProblem(const QString &why);
    // The part of the window's plane drawn (window pixels).
    QRectF view() const { return m_view; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawLegend(QPainter &painter, const QColor &mark) const;

    QSize m_window;
    QSizeF m_picture;                // the moving picture's size, for its centre and outline
    QList<QList<QPointF>> m_paths;   // each move's positions (top-left corners), sampled
    QList<QPointF> m_keys;           // the start, then every move's target
    std::vector<std::array<qint64, 2>> m_shakePoints; // a shake's turning points, reused
    int m_selected = 0;
    Chain::Background m_background = Chain::Background::EveryFrame;
    QRectF m_view;
    QString m_why;
    std::unique_ptr<render::FrameRenderer> m_renderer; // the last position, background and picture
    QString m_rendered;                        // what the renderer was made for
};

} // namespace velra::preview
