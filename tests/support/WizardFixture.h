#pragma once

#include "ScriptedToolkit.h"
#include "TestSupport.h"
#include "shell/Application.h"
#include "shell/Page.h"
#include "shell/Wizard.h"
#include "pages/Pages.h"

#include <QSignalSpy>
#include <QStyleHints>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>

namespace velra::test {

// A wizard whose hand-off files live in a fresh temporary folder and whose dialogs are scripted.
struct WizardFixture
{
    QTemporaryDir dir;
    ScriptedToolkit toolkit;
    HandoffFiles files{dir.path()};
    std::unique_ptr<Wizard> wizard = std::make_unique<Wizard>(toolkit, createPage, files);
    QSignalSpy finished{wizard.get(), &Wizard::finished};

    WizardFixture()
    {
        setUpLook(*qobject_cast<QApplication *>(QCoreApplication::instance()));
        // Tests click a page as soon as it shows; the test of the double-click guard sets its own.
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
    }

    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray log() const { return readAll(files.settingsLog()); }

    // Lets closed pages be deleted, so that the windows left are the ones still alive.
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

} // namespace velra::test
