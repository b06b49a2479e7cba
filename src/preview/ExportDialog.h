#pragma once

#include "animation/Export.h"

#include <QDialog>
#include <QSize>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace velra::preview {

using animation::ExportChoices;

// One dialog, once the file is named: the size, the frames kept, for WebP lossless or light with
// its quality, and a size limit (none, the places authors post to, or one typed in).
class ExportDialog final : public QDialog
{
public:
    ExportDialog(QWidget *parent, animation::AnimationFormat format, QSize window, int fps, const ExportChoices &last);

    ExportChoices choices() const;
    // The choices into the export's options.
    void apply(animation::AnimationOptions &options) const;

private:
    void update();

    animation::AnimationFormat m_format;
    QComboBox *m_scale = nullptr;
    QComboBox *m_every = nullptr;
    QRadioButton *m_lossless = nullptr;
    QRadioButton *m_light = nullptr;
    QSpinBox *m_quality = nullptr;
    QComboBox *m_limit = nullptr;
    QLineEdit *m_typed = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace velra::preview
