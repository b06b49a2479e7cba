#pragma once

#include "handoff/SettingsLog.h"
#include "shell/Page.h"

#include <QTimer>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velra {
namespace preview {
class PathPreview;
}

// The detailed settings page: where the picture starts and ends, how it moves, its speed curve,
// held frames and the background; appends line 4 of the settings log in the detailed layout.
class Form6 final : public Page
{
    Q_OBJECT

public:
    explicit Form6(Wizard &wizard);

    static constexpr int kWidth = 560;
    static constexpr int kHeight = 330;
    static constexpr int kPathWidth = 360; // the path view's width; its height follows the window

protected:
    void firstShown() override { load(); }

private:
    void load();
    void fillRemembered();
    // The ten values of line 4, as the boxes and choices stand.
    LogLine record() const;
    void updatePath();
    void next();

    std::array<QLineEdit *, 8> m_boxes{};        // Text1 to Text8
    std::array<QRadioButton *, 9> m_options{}; // Option1 to Option9
    preview::PathPreview *m_path;
    QLabel *m_frameCount;
    QPushButton *m_next;
    QTimer m_pathTimer;
    QList<LogValue> m_firstLines; // lines 1 to 3 of the settings log
    QHash<QString, QImage> m_decoded;
};

} // namespace velra
