#pragma once

#include <QFileDevice>
#include <QString>

namespace velra {

// The fourteen values of the settings log, in file order.
enum class Field {
    ScrollImageFile,
    ScrollImageWidth,
    ScrollImageHeight,
    BackgroundFile,
    BackgroundWidth,
    BackgroundHeight,
    WindowWidth,
    WindowHeight,
    SettingMode,
    ScrollDirection,
    ScrollStep,
    ScrollAlignment,
    ScrollEndMode,
    MoveCount,
};
constexpr int kFieldCount = 14;

QString fieldName(Field field);
// "スクロール間隔（ScrollStep）": how messages name a value of the settings log.
QString fieldLabel(Field field);

// The folder of the executable, ending in a separator. When it cannot be written (a copy installed
// for the whole system), the per-user application data folder stands in for it.
QString programFolder();

// Where the two hand-off files live. By default the program folder, determined afresh on every
// call; tests and the command-line companion fix a folder of their own.
class HandoffFiles
{
public:
    HandoffFiles() = default;
    explicit HandoffFiles(const QString &fixedFolder);

    QString folder() const;
    QString settingsLog() const;
    QString scriptBuffer() const;

private:
    QString m_fixedFolder;
};

// A short Japanese reason for a failed file operation, with the system's own words after it.
QString fileErrorReason(const QFileDevice &file);

// True when `text` holds a line break or another control character, which would break the line
// structure of the file it is written into.
bool hasControlCharacter(QStringView text);

// Joins the two lines of a failure message: what went wrong, and that the run must start again.
QString restartMessage(const QString &what);

} // namespace velra
