#pragma once

#include <QFileDevice>
#include <QString>

#include <memory>

namespace velra {

// The folder of the executable, ending in a separator.
QString programFolder();
// The per-user application data folder, ending in a separator: where the hand-off files live when
// the program folder cannot be written (a copy installed for the whole system).
QString perUserFolder();

// Where the two hand-off files live. The folder is chosen once for a run, when the start page
// clears the files, and kept to its end: pages of one run never read or write another run's files,
// even when the program folder stops being writable in between.
class HandoffFiles
{
public:
    // The program folder, or the per-user folder when the program folder cannot be written.
    HandoffFiles();
    // Always `fixedFolder` (tests and the command-line companion).
    explicit HandoffFiles(const QString &fixedFolder);
    // The two candidates, named by the caller (tests).
    HandoffFiles(const QString &programFolder, const QString &perUserFolder);

    // Deletes the files of an earlier run wherever a run may have left them, then chooses this
    // run's folder and holds it. On failure `error` names the file that could not be deleted, or
    // says that another copy of the program holds the folder. Whatever else is under a hand-off
    // file's name (a link, a FIFO) is removed without being opened. A folder that another copy
    // holds is left alone.
    bool startRun(QString *error);

    // Holds this run's folder for this copy of the program until it ends, so that a second copy
    // started from the same folder does not mix its run into this one's. False when another copy
    // holds it: `error` says so, and otherCopy() is that copy's process.
    bool holdFolder(QString *error);
    qint64 otherCopy() const { return m_otherCopy; }
    // The name by which the copy holding the folder can be reached: the same for every copy that
    // would use this folder.
    QString folderKey() const;

    // This run's folder; chosen on first use when no run was started.
    QString folder() const;
    QString settingsLog() const;
    QString scriptBuffer() const;
    // Where the settings of the last run that generated a script are kept for the next run: the
    // per-user folder (the fixed folder where there is only one).
    QString rememberedSettings() const;
    // Beside it, what the author had typed when they last left a page or closed the window, kept
    // when it is newer than that run: never over it.
    QString editedSettings() const;

    // Where this run's files are, said once on the start page, when the program folder is shared
    // with other users (anyone may write into it, or another user's entry stands at the lock's
    // name) and the per-user folder is used instead. Empty otherwise.
    QString sharedFolderNote() const;

private:
    class FolderLock;
    QString choose() const;

    QString m_program;
    QString m_perUser;
    mutable QString m_chosen;
    mutable bool m_shared = false;
    // Shared by the copies of this object that one wizard hands around; released with the last.
    std::shared_ptr<FolderLock> m_lock;
    QString m_lockedFolder;
    qint64 m_otherCopy = 0;
};

// "Velloran はすでに起動しています。"
QString alreadyRunningMessage();

// A short Japanese reason for a failed file operation, with the system's own words after it.
QString fileErrorReason(const QFileDevice &file);

// Joins the two lines of a failure message: what went wrong, and that the run must start again.
QString restartMessage(const QString &what);

} // namespace velra
