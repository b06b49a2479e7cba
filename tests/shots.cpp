// Takes a picture of every page as a user sees it, for the README and for checking that every text
// shows. Run under a real window system (Xvfb): shots OUTDIR. Not a test.
#include "ScriptedToolkit.h"
#include "TestSupport.h"
#include "pages/PicturePage.h"
#include "shell/Application.h"
#include "shell/Toolkit.h"
#include "shell/Page.h"
#include "shell/Wizard.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleHints>
#include <QTemporaryDir>

using namespace velra;
using namespace velra::test;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpLook(app);
    loadTranslations(app);
    // The pages are clicked as soon as they show.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
    const QString out = app.arguments().value(1, QStringLiteral("."));
    QTemporaryDir dir;
    ScriptedToolkit toolkit;
    Wizard wizard(toolkit, HandoffFiles(dir.path()));
    const auto shoot = [&](PageId id, const QString &name) {
        Page *page = wizard.page(id);
        page->activateWindow();
        QApplication::processEvents();
        QTest::qWait(150);
        page->grab().save(out + QLatin1Char('/') + name + QStringLiteral(".png"));
    };
    const QString scroll = writePicture(dir.filePath(QStringLiteral("scroll.bmp")), 100, 480, "BMP");
    const QString back = writePicture(dir.filePath(QStringLiteral("back.jpg")), 640, 480, "JPEG");

    wizard.start();
    shoot(PageId::Form1, QStringLiteral("form1"));
    click(wizard.page(PageId::Form1), QStringLiteral("Command1"));
    toolkit.openNames = {scroll, back};
    click(wizard.page(PageId::Form2), QStringLiteral("Command1"));
    shoot(PageId::Form2, QStringLiteral("form2"));
    click(wizard.page(PageId::Form2), QStringLiteral("Command2"));
    click(wizard.page(PageId::Form3), QStringLiteral("Command1"));
    shoot(PageId::Form3, QStringLiteral("form3"));
    click(wizard.page(PageId::Form3), QStringLiteral("Command2"));
    click(wizard.page(PageId::Form4), QStringLiteral("Option1"));
    shoot(PageId::Form4, QStringLiteral("form4"));
    click(wizard.page(PageId::Form4), QStringLiteral("Command1"));
    Page *form5 = wizard.page(PageId::Form5);
    click(form5, QStringLiteral("Option4"));
    click(form5, QStringLiteral("Option6"));
    click(form5, QStringLiteral("Option10"));
    QTest::keyClicks(child(form5, QStringLiteral("Text1")), QStringLiteral("4"));
    QTest::keyClicks(child(form5, QStringLiteral("Text2")), QStringLiteral("30"));
    shoot(PageId::Form5, QStringLiteral("form5"));
    click(form5, QStringLiteral("Command1"));
    Page *form7 = wizard.page(PageId::Form7);
    shoot(PageId::Form7, QStringLiteral("form7-ready"));
    click(form7, QStringLiteral("Command1"));
    click(form7, QStringLiteral("Option1"));
    child<QLineEdit>(form7, QStringLiteral("Text1"))->setText(QStringLiteral("第一巻"));
    child<QLineEdit>(form7, QStringLiteral("Text2"))->setText(QStringLiteral("オープニング"));
    shoot(PageId::Form7, QStringLiteral("form7-generated"));
    // The open dialog as the background page's 参照 shows it: Japanese, in the pictures' folder.
    QtToolkit real;
    real.pictureChosen(scroll);
    const auto dialog = real.makeFileDialog(nullptr, PicturePage::pictureFilter(), false);
    dialog->show();
    QTest::qWait(300);
    dialog->grab().save(out + QStringLiteral("/open-dialog.png"));
    dialog->close();

    Wizard detailed(toolkit, HandoffFiles(dir.path()));
    detailed.show(PageId::Form6);
    QTest::qWait(100);
    detailed.page(PageId::Form6)->grab().save(out + QStringLiteral("/form6.png"));
    return 0;
}
