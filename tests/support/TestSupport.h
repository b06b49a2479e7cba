#pragma once

#include "model/Run.h"
#include "platform/FileSystem.h"
#include "script/ScrollScript.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QString>
#include <QAction>
#include <QTest>
#include <QWidget>

namespace velra::test {

// Runs as the pages make them. The simple one is the worked example: scroll.bmp 100 x 50 over
// back.bmp 640 x 480 in a 640 x 480 window, leftwards 10 dots a frame, aligned to the top, two moves
// past the edge (a test changes what it is about). A chain moves s.bmp 10 x 10 over b.bmp 64 x 48.
Run simpleRun();
Run chainRun(const Chain &chain);

// The script a run makes; fails the running test with the engine's message when it makes none.
QByteArray scriptOf(const Run &run);

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A real picture file of the given size and format ("BMP" or "JPEG"), all one colour. A picture that
// cannot be written fails the running test (with the reason) and gives an empty path.
inline QString writePicture(const QString &path, int width, int height, const char *format, Qt::GlobalColor colour = Qt::darkCyan)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    if (image.save(path, format))
        return path;
    QTest::qFail(qPrintable(QStringLiteral("cannot write the %1 picture %2").arg(QLatin1String(format), path)), __FILE__, __LINE__);
    return QString();
}

// Another program's lock on a file, taken as the saves take theirs, held until it goes.
class HeldLock
{
public:
    explicit HeldLock(const QString &path)
    {
        bool created = false;
        bool device = false;
        int code = 0;
        m_held = m_file.openForSave(path, &created, &device, &code) && m_file.tryLock(&code) == platform::File::Lock::Held;
    }
    bool isHeld() const { return m_held; }

private:
    platform::File m_file;
    bool m_held = false;
};

// UTF-8 source text as the CP932 bytes Windows would write for it (only for texts in the tests).
QByteArray sjis(const QString &text);

template <typename T = QWidget>
T *child(QWidget *page, const QString &name)
{
    T *w = page->findChild<T *>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

// Types `text` as a user would: ASCII through key presses, anything else as an input method commits it.
inline void typeText(QWidget *box, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClicks(box, QString(c));
        } else {
            QInputMethodEvent event;
            event.setCommitString(QString(c));
            QCoreApplication::sendEvent(box, &event);
        }
    }
}

inline void click(QWidget *page, const QString &name)
{
    QTest::mouseClick(child(page, name), Qt::LeftButton);
}

// A menu's entry, chosen as a click on it would (a menu opened in a test would wait for a click).
inline void pickFromMenu(QWidget *page, const QString &name)
{
    auto *action = page->findChild<QAction *>(name);
    QVERIFY2(action, qPrintable(name));
    action->trigger();
}

// The visible top-level windows, to check that exactly one page shows.
inline QWidgetList visibleWindows()
{
    QWidgetList shown;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            shown.append(w);
    }
    return shown;
}

} // namespace velra::test
