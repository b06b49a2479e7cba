#pragma once

#include "io/OutputFile.h"
#include "shell/Page.h"

#include <QPointer>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace velra {
namespace preview {
class PreviewWindow;
}

// The generation and save page: computes the script from the settings log into the script buffer,
// then saves it into a comic script file or a text file, which ends the run.
class Form7 final : public Page
{
    Q_OBJECT

public:
    explicit Form7(Wizard &wizard);

protected:
    // Closing the window with a generated script unsaved asks first.
    bool mayClose() override;
    bool mayGoBack() override;
    QPushButton *enterButton(QWidget *focus) const override;

private:
    void generate();
    void save();
    // Plays the generated script in a window of its own; changes nothing.
    void preview();
    // A new run with this run's values, for an author who wants to change one of them.
    void remake();
    // Keeps this run's settings in a file the author names, to start a run with again.
    void saveSettings();
    // How the saves wait for a file another program holds.
    output::Options saveOptions();

    QPushButton *m_generate;
    QProgressBar *m_progress;
    QRadioButton *m_csf;
    QRadioButton *m_text;
    QLineEdit *m_book;
    QLineEdit *m_page;
    QPushButton *m_save;
    QPushButton *m_preview;
    QPushButton *m_remake;
    QPushButton *m_saveSettings;
    bool m_generated = false; // a script stands in the buffer, not yet saved
    QPointer<preview::PreviewWindow> m_previewWindow;
};

} // namespace velra
