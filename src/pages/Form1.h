#pragma once

#include "shell/Page.h"

class QCheckBox;
class QPushButton;

namespace velra {

// The start page: a welcome text and the button that clears the hand-off files and starts the run.
class Form1 final : public Page
{
    Q_OBJECT

public:
    explicit Form1(Wizard &wizard);

    static QString welcomeText();
    // The same text with "|" where a line may break.
    static QString welcomeLayout();

    // Where the user manual may be, in the order looked at: beside the program (the Windows folder,
    // a build) and in the documentation of an installed copy.
    static QStringList manualPlaces(const QString &programFolder);

    // Starts a run filled from the settings file at `path`, as 前回の設定を使う fills it; says why
    // not and stays when the file cannot be used. (設定を開く…, a file dropped on the page, and
    // `velloran FILE.velra`.)
    bool openSettings(const QString &path) override;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void startWork();
    // The run's files cleared and the first page shown, with the settings the wizard holds now.
    bool beginRun();
    void openSettingsLater(const QString &path);
    void showManual();

    QCheckBox *m_useLast;
    QPushButton *m_open;
    QPushButton *m_manual;
};

} // namespace velra
