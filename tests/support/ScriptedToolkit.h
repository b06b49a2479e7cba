#pragma once

#include "shell/Toolkit.h"

#include <QDialog>
#include <QList>
#include <QWidget>
#include <QWindow>
#include <QStringList>

namespace velra::test {

// The toolkit seam answered by the test: every message box returns OK at once and is recorded;
// file dialogs return the next scripted name, or act as cancelled when none is left.
class ScriptedToolkit final : public Toolkit
{
public:
    struct Message
    {
        QString prompt;
        QString title;
        int style;
        bool inFrontOfShownPage; // the box's page window is on the screen
    };

    int messageBox(QWidget *parent, const QString &prompt, const QString &title, int style) override
    {
        const bool shown = parent && parent->windowHandle() && parent->windowHandle()->isVisible();
        messages.append({prompt, title, style, shown});
        if (onMessage)
            onMessage();
        return 1;
    }

    // Recorded with the messages (style -1); answered from `answers`, はい when none is left.
    bool question(QWidget *parent, const QString &prompt, const QString &title, bool = false) override
    {
        messages.append({prompt, title, -1, parent && parent->isVisible()});
        return answers.isEmpty() ? true : answers.takeFirst();
    }

    // Recorded with the messages (OK only); answered from `choices`, OK when none is left.
    bool messageWithChoice(QWidget *parent, const QString &prompt, const QString &title, const QString &other) override
    {
        messages.append({prompt, title, OkOnly, parent && parent->isVisible()});
        choiceButtons.append(other);
        if (onMessage)
            onMessage();
        return choices.isEmpty() ? false : choices.takeFirst();
    }

    QString openFileName(QWidget *, const QString &filter, const QString &title, const QString &folder) override
    {
        openFolders.append(folder);
        openFilters.append(filter);
        dialogTitles.append(title);
        return openNames.isEmpty() ? QString() : openNames.takeFirst();
    }

    QString saveFileName(QWidget *, const QString &filter, const QString &title, const QString &folder) override
    {
        saveFolders.append(folder);
        saveFilters.append(filter);
        dialogTitles.append(title);
        return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    }

    // Answered from `saveNames`, the kind from `saveKinds` (the first when none is left).
    QString saveFileName(QWidget *, const QStringList &filters, const QString &title, const QString &folder, int *chosen) override
    {
        saveFolders.append(folder);
        saveFilters.append(filters.join(QStringLiteral("||")));
        dialogTitles.append(title);
        *chosen = saveKinds.isEmpty() ? 0 : saveKinds.takeFirst();
        return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    }

    // Recorded with the messages (style -2); answered from `picks`, cancelled when none is left.
    int choose(QWidget *parent, const QString &prompt, const QString &title, const QStringList &offered) override
    {
        messages.append({prompt, title, -2, parent && parent->isVisible()});
        choiceButtons.append(offered.join(QLatin1Char('|')));
        return picks.isEmpty() ? -1 : picks.takeFirst();
    }

    // Answered by `onDialog` (which may set the dialog's controls), cancelled when there is none.
    bool runDialog(QDialog &dialog) override
    {
        dialogTitles.append(dialog.windowTitle());
        return onDialog && onDialog(dialog);
    }

    bool stillWaiting(QWidget *, const QString &text) override
    {
        waits.append(text);
        if (onWait)
            onWait();
        return waits.size() < giveUpAfter;
    }
    void waitOver() override { ++waitsOver; }

    bool openDocument(const QString &path) override
    {
        openedDocuments.append(path);
        return documentsOpen;
    }

    QString lastPrompt() const { return messages.isEmpty() ? QString() : messages.last().prompt; }
    QString lastTitle() const { return messages.isEmpty() ? QString() : messages.last().title; }

    QList<Message> messages;
    QStringList openNames; // answers of the open dialog, in order; none left = cancelled
    QStringList saveNames;
    QStringList openFilters;
    QStringList openFolders;
    QStringList saveFilters;
    QStringList dialogTitles;
    QStringList saveFolders; // where the save dialogs opened
    QStringList openedDocuments;
    bool documentsOpen = true; // whether the system finds a program for them
    std::function<void()> onMessage; // runs while a message box is "open"
    QList<bool> answers;             // answers of the questions, in order
    QList<bool> choices;             // messageWithChoice: true presses the other button
    QStringList choiceButtons;       // the other buttons offered (choose: all of them, joined by |)
    QList<int> saveKinds;            // the file kind left chosen in each save dialog
    QList<int> picks;                // choose: the button pressed, in order
    QStringList waits;               // what the saves waited for, once per call
    int giveUpAfter = 1000000;       // the wait's n-th call gives it up
    int waitsOver = 0;
    std::function<void()> onWait; // runs while a save waits
    std::function<bool(QDialog &)> onDialog; // answers runDialog: true accepts
};

} // namespace velra::test
