// Takes a picture of every page as a user sees it, for the README and for checking that every text
// shows. Run under a real window system (Xvfb): shots OUTDIR. Not a test.
#include "ScriptedToolkit.h"
#include "TestSupport.h"
#include "handoff/LastRun.h"
#include "pages/PicturePage.h"
#include "preview/PreviewWindow.h"
#include "shell/Application.h"
#include "shell/Toolkit.h"
#include "shell/Page.h"
#include "shell/Wizard.h"
#include "pages/Pages.h"

#include <QComboBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QFile>
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
    Wizard wizard(toolkit, createPage, HandoffFiles(dir.path()));
    const auto shoot = [&](PageId id, const QString &name) {
        Page *page = wizard.page(id);
        page->activateWindow();
        QApplication::processEvents();
        QTest::qWait(150);
        page->grab().save(out + QLatin1Char('/') + name + QStringLiteral(".png"));
    };
    // Pictures that show the motion: a sky over hills, and a tall banner.
    QImage sky(640, 480, QImage::Format_RGB32);
    {
        QPainter painter(&sky);
        QLinearGradient gradient(0, 0, 0, 480);
        gradient.setColorAt(0, QColor(90, 150, 230));
        gradient.setColorAt(1, QColor(200, 230, 255));
        painter.fillRect(sky.rect(), gradient);
        painter.setBrush(QColor(70, 150, 80));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRect(-100, 330, 500, 300));
        painter.drawEllipse(QRect(280, 350, 520, 280));
    }
    QImage banner(100, 480, QImage::Format_RGB32);
    {
        QPainter painter(&banner);
        painter.fillRect(banner.rect(), QColor(200, 40, 60));
        painter.setPen(Qt::white);
        QFont font = app.font();
        font.setPixelSize(40);
        painter.setFont(font);
        painter.drawText(banner.rect(), Qt::AlignCenter | Qt::TextWrapAnywhere, QStringLiteral("スクロール"));
    }
    const QString scroll = dir.filePath(QStringLiteral("scroll.bmp"));
    const QString back = dir.filePath(QStringLiteral("back.jpg"));
    banner.save(scroll, "BMP");
    sky.save(back, "JPEG");

    // An earlier run's settings, so that the start page offers them; this run starts empty.
    lastrun::Settings earlier;
    earlier.log = "\"scroll.bmp\",\"100\",\"480\"\r\n\"back.jpg\",\"640\",\"480\",\"640\",\"480\"\r\n1\r\n4,\"8\",2,3,\"30\"\r\n";
    lastrun::save(HandoffFiles(dir.path()).rememberedSettings(), earlier, nullptr);
    wizard.start();
    shoot(PageId::Form1, QStringLiteral("form1"));
    const QImage openRow = wizard.page(PageId::Form1)->grab(QRect(0, 234, Page::kWidth, 34)).toImage();
    child<QCheckBox>(wizard.page(PageId::Form1), QStringLiteral("Check1"))->setChecked(false);
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
    {
        // The two buttons of the settings files, for the README and the manual: the start page's
        // 設定を開く… row over the generation page's 設定を保存… row.
        const QImage keepRow = form7->grab(QRect(0, 320, Page::kWidth, 36)).toImage();
        QImage both(QSize(Page::kWidth, 0) * openRow.devicePixelRatio() + QSize(0, openRow.height() + keepRow.height() + 6),
                    QImage::Format_RGB32);
        both.setDevicePixelRatio(openRow.devicePixelRatio());
        both.fill(form7->palette().color(QPalette::Mid));
        QPainter painter(&both);
        painter.drawImage(QPoint(0, 0), openRow);
        painter.drawImage(QPointF(0, (openRow.height() + 6) / openRow.devicePixelRatio()), keepRow);
        painter.end();
        both.save(out + QStringLiteral("/settings-files.png"));
    }
    // The preview, opened from the page: the first, a middle and the last frame.
    click(form7, QStringLiteral("Command3"));
    auto *preview = form7->findChild<preview::PreviewWindow *>();
    if (app.arguments().contains(QStringLiteral("--whole-screen"))) {
        // The preview as it opens, on the whole screen (run with QT_SCALE_FACTOR=2 for the README).
        preview->showFrame(preview->frame() + 12);
        QTest::qWait(600);
        form7->screen()->grabWindow(0).save(out + QStringLiteral("/preview-screen.png"));
        return 0;
    }
    preview->resize(700, 560);
    preview->activateWindow();
    const qsizetype count = child<QSlider>(preview, QStringLiteral("Slider"))->maximum() + 1;
    for (const auto &[frame, name] : {std::pair{qsizetype(0), "preview-first"}, std::pair{count / 2, "preview-middle"},
                                      std::pair{count - 1, "preview-last"}}) {
        preview->showFrame(frame);
        QApplication::processEvents();
        QTest::qWait(200);
        preview->grab().save(out + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
    }
    preview->close();
    // Adjust and go again: a new run from the generation page starts with this run's values.
    click(form7, QStringLiteral("Command4"));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    shoot(PageId::Form2, QStringLiteral("form2-again"));
    // The open dialog as the background page's 参照 shows it: Japanese, in the pictures' folder.
    QtToolkit real;
    real.pictureChosen(scroll);
    const auto dialog = real.makeFileDialog(nullptr, PicturePage::pictureFilter(), false);
    dialog->show();
    QTest::qWait(300);
    dialog->grab().save(out + QStringLiteral("/open-dialog.png"));
    dialog->close();

    // The detailed mode: a small picture from the top left to the bottom right, slow start and end.
    QTemporaryDir second;
    QImage mark(120, 90, QImage::Format_RGB32);
    {
        QPainter painter(&mark);
        painter.fillRect(mark.rect(), QColor(250, 200, 40));
        painter.setPen(QPen(QColor(120, 60, 0), 4));
        painter.drawRect(mark.rect().adjusted(2, 2, -3, -3));
    }
    const QString markPath = second.filePath(QStringLiteral("mark.bmp"));
    mark.save(markPath, "BMP");
    ScriptedToolkit detailedToolkit;
    Wizard detailed(detailedToolkit, createPage, HandoffFiles(second.path()));
    detailed.start();
    click(detailed.page(PageId::Form1), QStringLiteral("Command1"));
    detailedToolkit.openNames = {markPath, back};
    click(detailed.page(PageId::Form2), QStringLiteral("Command1"));
    click(detailed.page(PageId::Form2), QStringLiteral("Command2"));
    click(detailed.page(PageId::Form3), QStringLiteral("Command1"));
    click(detailed.page(PageId::Form3), QStringLiteral("Command2"));
    child<QRadioButton>(detailed.page(PageId::Form4), QStringLiteral("Option2"))->click();
    click(detailed.page(PageId::Form4), QStringLiteral("Command1"));
    Page *form6 = detailed.page(PageId::Form6);
    // A chain of three moves: in from the top left, a custom curve across, and out eased.
    const auto set = [form6](int box, const char *text) {
        child<QLineEdit>(form6, QStringLiteral("Text%1").arg(box))->setText(QString::fromLatin1(text));
    };
    for (const auto &[box, text] : {std::pair{1, "-120"}, std::pair{2, "-90"}, std::pair{3, "100"}, std::pair{4, "80"}, std::pair{6, "40"}})
        set(box, text);
    child<QRadioButton>(form6, QStringLiteral("Option2"))->click();
    child<QComboBox>(form6, QStringLiteral("Combo1"))->setCurrentIndex(2);
    click(form6, QStringLiteral("Command2"));
    set(3, "420");
    set(4, "120");
    pickFromMenu(form6, QStringLiteral("Preset4"));
    set(8, "6");
    click(form6, QStringLiteral("Command2"));
    set(3, "640");
    set(4, "480");
    set(6, "30");
    child<QComboBox>(form6, QStringLiteral("Combo1"))->setCurrentIndex(0);
    child<QRadioButton>(form6, QStringLiteral("Option1"))->click();
    set(5, "7");
    form6->activateWindow();
    QTest::qWait(300);
    form6->grab().save(out + QStringLiteral("/form6.png"));
    // Then an impact where it stops: a shake that dies down.
    click(form6, QStringLiteral("Command2"));
    child<QRadioButton>(form6, QStringLiteral("Option4"))->click();
    set(13, "120");
    set(14, "90");
    set(15, "6");
    child<QComboBox>(form6, QStringLiteral("Combo3"))->setCurrentIndex(1); // ランダム
    form6->activateWindow();
    QTest::qWait(300);
    form6->grab().save(out + QStringLiteral("/form6-shake.png"));
    click(form6, QStringLiteral("Command1"));
    Page *detailedForm7 = detailed.page(PageId::Form7);
    click(detailedForm7, QStringLiteral("Command1"));
    click(detailedForm7, QStringLiteral("Command3"));
    auto *played = detailedForm7->findChild<preview::PreviewWindow *>();
    played->resize(700, 560);
    played->showFrame(20);
    QApplication::processEvents();
    QTest::qWait(200);
    played->grab().save(out + QStringLiteral("/preview-detailed.png"));
    // 書き出し… under way, then the motion it wrote, at half the size, for the README.
    detailedToolkit.saveNames = {second.filePath(QStringLiteral("three-moves.webp"))};
    // The export's settings as the author sees them (half the size, as the README shows it).
    detailedToolkit.onDialog = [&out](QDialog &settings) {
        settings.findChild<QComboBox *>(QStringLiteral("Scale"))->setCurrentIndex(1);
        settings.show();
        QTest::qWait(100);
        settings.grab().save(out + QStringLiteral("/export-settings.png"));
        return true;
    };
    click(played, QStringLiteral("Export"));
    QApplication::processEvents();
    played->grab().save(out + QStringLiteral("/preview-export.png"));
    while (played->isExporting())
        QTest::qWait(50);
    QFile::remove(out + QStringLiteral("/three-moves.webp"));
    QFile::copy(second.filePath(QStringLiteral("three-moves.webp")), out + QStringLiteral("/three-moves.webp"));
    played->close();
    return 0;
}
