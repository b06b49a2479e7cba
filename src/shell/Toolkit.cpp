#include "Toolkit.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <QGridLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QTreeView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QProgressDialog>
#include <QSpacerItem>

#include "handoff/HandoffFiles.h"
#include "platform/FileSystem.h"
#include "text/Shown.h"

#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QUrl>

namespace velra {
namespace {

// What a dialog over `parent` may take of its screen: the available area, its frame and title bar
// left out, so that its buttons are never off the screen (at 200 % a dialog of 820 × 500 points
// is wider than a 1280-pixel screen).
QSize roomBeside(const QWidget *parent)
{
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return screen->availableGeometry().size().shrunkBy(QMargins(8, 32, 8, 8));
}

// While a file dialog is open over a page: once it closes, the page is the active window again,
// its focus where it was, so that Enter goes on through the pages (Wine leaves the page grey and
// deaf to keys otherwise).
class GivesFocusBack
{
public:
    explicit GivesFocusBack(QWidget *parent)
        : m_window(parent ? parent->window() : nullptr)
        , m_focus(m_window ? m_window->focusWidget() : nullptr)
    {
    }
    ~GivesFocusBack()
    {
        if (!m_window || !m_window->isVisible())
            return;
        m_window->raise();
        m_window->activateWindow();
        if (m_focus)
            m_focus->setFocus(Qt::OtherFocusReason);
    }
    GivesFocusBack(const GivesFocusBack &) = delete;
    GivesFocusBack &operator=(const GivesFocusBack &) = delete;

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_focus;
};

} // namespace
} // namespace velra

namespace velra {

bool Toolkit::measurePicture(const QString &path, QSize &size, QString *error)
{
    // Opened once, without waiting, and judged on what was opened: a FIFO under a picture's name,
    // even one swapped in at the last moment, never holds the page.
    QFile file;
    QString what;
    if (!platform::openToRead(file, path, false, &what)) {
        if (error)
            *error = QStringLiteral("「%1」は%2。\r\nBMP または JPEG の画像ファイルを選んでください。").arg(shownValue(QDir::toNativeSeparators(path)), what);
        return false;
    }
    QImageReader reader(&file);
    // Recognised by content: a JPEG named .bmp is still a JPEG, and a text file named .jpg is no picture.
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    QSize measured;
    if (format == "bmp" || format == "jpeg")
        measured = reader.size(); // from the header, without decoding the picture
    // A BMP stored top row first gives its height negative.
    if (format == "bmp" && measured.height() < 0)
        measured.setHeight(-measured.height());
    if (!measured.isValid()) {
        if (error) {
            const QString shown = shownValue(QDir::toNativeSeparators(path));
            // A BMP header whose size is past what the reader takes is no damaged file: said so.
            file.seek(0);
            const QByteArray head = file.read(26);
            const qint64 width = head.size() == 26 && head.startsWith("BM") ? qFromLittleEndian<qint32>(head.constData() + 18) : 0;
            const qint64 height = head.size() == 26 && head.startsWith("BM") ? qAbs(qint64(qFromLittleEndian<qint32>(head.constData() + 22))) : 0;
            const qint64 limitMb = QImageReader::allocationLimit();
            if (width > 0 && height > 0 && limitMb > 0 && width * height * 4 > limitMb * 1024 * 1024)
                *error = QStringLiteral("「%1」は大きすぎて画像として読めません（%2 × %3 ピクセル。%4 MB までの画像を読めます）。\r\nBMP または JPEG の画像ファイルを選んでください。")
                             .arg(shown, QString::number(width), QString::number(height), QString::number(limitMb));
            else if (format.isEmpty() || format == "bmp" || format == "jpeg")
                *error = QStringLiteral("「%1」は画像として読めません。\r\nBMP または JPEG の画像ファイルを選んでください。").arg(shown);
            else
                *error = QStringLiteral("「%1」は BMP でも JPEG でもありません。\r\nBMP または JPEG の画像ファイルを選んでください。").arg(shown);
        }
        return false;
    }
    size = measured;
    return true;
}

std::unique_ptr<QMessageBox> QtToolkit::makeMessageBox(QWidget *parent, const QString &prompt, const QString &title,
                                                       int style)
{
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto box = std::make_unique<QMessageBox>(style == OkWithExclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                                             title, QString(), QMessageBox::Ok, parent);
    // File names and values from the input are shown as the characters they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    // The lines break where they were written to: a line that fits a reasonable width is never
    // wrapped again (which left a lone "た。" on a line of its own).
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        int longest = 0;
        for (const QString &line : text.split(QLatin1Char('\n')))
            longest = qMax(longest, label->fontMetrics().horizontalAdvance(line));
        label->setMinimumWidth(qMin(longest + 4, 560));
    }
    // A box sizes itself to its text alone, and a short box would cut its title: the title bar
    // also holds the icon and the close button.
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        const int titleWidth = box->fontMetrics().horizontalAdvance(title) * 5 / 4 + kTitleBarExtra;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return box;
}

int QtToolkit::messageBox(QWidget *parent, const QString &prompt, const QString &title, int style)
{
    makeMessageBox(parent, prompt, title, style)->exec();
    return 1;
}

bool QtToolkit::question(QWidget *parent, const QString &prompt, const QString &title, bool yesByDefault)
{
    const auto box = makeMessageBox(parent, prompt, title, OkOnly);
    box->setIcon(QMessageBox::Question);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(yesByDefault ? QMessageBox::Yes : QMessageBox::No);
    return box->exec() == QMessageBox::Yes;
}

bool QtToolkit::messageWithChoice(QWidget *parent, const QString &prompt, const QString &title, const QString &other)
{
    const auto box = makeMessageBox(parent, prompt, title, OkOnly);
    auto *ok = qobject_cast<QPushButton *>(box->button(QMessageBox::Ok));
    QPushButton *more = box->addButton(other, QMessageBox::ActionRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok); // the close box answers OK, as it did when OK stood alone
    box->exec();
    return box->clickedButton() == more;
}

int QtToolkit::choose(QWidget *parent, const QString &prompt, const QString &title, const QStringList &choices)
{
    const auto box = makeMessageBox(parent, prompt, title, OkOnly);
    box->setIcon(QMessageBox::Question);
    box->setStandardButtons(QMessageBox::Cancel);
    box->button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
    QList<QAbstractButton *> buttons;
    for (const QString &choice : choices)
        buttons.append(box->addButton(choice, QMessageBox::AcceptRole));
    if (!buttons.isEmpty())
        box->setDefaultButton(qobject_cast<QPushButton *>(buttons.front()));
    box->setEscapeButton(QMessageBox::Cancel);
    box->exec();
    return int(buttons.indexOf(box->clickedButton()));
}

bool QtToolkit::runDialog(QDialog &dialog)
{
    const GivesFocusBack back(dialog.parentWidget());
    return dialog.exec() == QDialog::Accepted;
}

QString qtFileFilter(const QString &filter)
{
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return filter;
    QString patterns = filter.mid(bar + 1);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return QStringLiteral("%1 (%2)").arg(filter.left(bar), patterns);
}

std::unique_ptr<QFileDialog> QtToolkit::makeFileDialog(QWidget *parent, const QString &filter, bool save,
                                                       const QString &title) const
{
    auto dialog = std::make_unique<QFileDialog>(parent, title, m_folder, qtFileFilter(filter));
    // The description already names the patterns: shown once, as the page gives it.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // "Replace it?" would be untrue: a save keeps the file's text and adds a book after it.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, save);
    // Wide and tall enough for the name, size, type and date columns, each shown whole (Qt's own
    // dialog; a native one sizes itself), and never larger than the screen leaves room for.
    const QSize room = roomBeside(parent);
    dialog->setMaximumSize(room);
    dialog->resize(kDialogSize.boundedTo(room));
    if (auto *details = dialog->findChild<QTreeView *>(QStringLiteral("treeView"))) {
        QHeaderView *header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    if (auto *splitter = dialog->findChild<QSplitter *>(QStringLiteral("splitter")))
        splitter->setSizes({160, dialog->width() - 160});
    return dialog;
}

void QtToolkit::pictureChosen(const QString &path)
{
    m_folder = QFileInfo(path).absolutePath();
}

QString QtToolkit::openFileName(QWidget *parent, const QString &filter, const QString &title, const QString &folder)
{
    const auto dialog = makeFileDialog(parent, filter, false, title);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog->setDirectory(folder);
    const GivesFocusBack back(parent);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    const QString chosen = dialog->selectedFiles().constFirst();
    pictureChosen(chosen);
    return chosen;
}

QtToolkit::QtToolkit() = default;
QtToolkit::~QtToolkit() = default;

bool QtToolkit::openDocument(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtToolkit::stillWaiting(QWidget *parent, const QString &text)
{
    if (!m_waiting) {
        m_waiting = std::make_unique<QProgressDialog>(text, QStringLiteral("待つのをやめる"), 0, 0, parent);
        m_waiting->setWindowTitle(QStringLiteral("保存を待っています"));
        m_waiting->setWindowModality(Qt::WindowModal);
        m_waiting->setMinimumDuration(0);
        m_waiting->show();
    }
    m_waiting->setLabelText(text);
    QCoreApplication::processEvents();
    return !m_waiting->wasCanceled();
}

void QtToolkit::waitOver()
{
    m_waiting.reset();
}

QString QtToolkit::saveFileName(QWidget *parent, const QString &filter, const QString &title, const QString &folder)
{
    int chosen = 0;
    return saveFileName(parent, QStringList{filter}, title, folder, &chosen);
}

namespace {

// The extension a kind's first pattern gives ("description|*.gif" gives "gif").
QString kindExtension(const QString &filter)
{
    const QString pattern = filter.section(QLatin1Char('|'), 1).section(QLatin1Char(';'), 0, 0);
    return pattern.startsWith(QLatin1String("*.")) ? pattern.mid(2) : QString();
}

} // namespace

std::unique_ptr<QFileDialog> QtToolkit::makeSaveDialog(QWidget *parent, const QStringList &filters, const QString &title,
                                                       const QString &folder) const
{
    auto dialog = makeFileDialog(parent, filters.value(0), true, title);
    QStringList shown;
    for (const QString &filter : filters)
        shown.append(qtFileFilter(filter));
    dialog->setNameFilters(shown);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog->setDirectory(folder);
    // The kind chosen names the file when the author types a bare name, on every system's dialog.
    dialog->setDefaultSuffix(kindExtension(filters.value(0)));
    QFileDialog *shownDialog = dialog.get();
    QObject::connect(shownDialog, &QFileDialog::filterSelected, shownDialog, [shownDialog, filters](const QString &) {
        shownDialog->setDefaultSuffix(kindExtension(filters.value(chosenKind(*shownDialog, filters))));
    });
    return dialog;
}

int QtToolkit::chosenKind(const QFileDialog &dialog, const QStringList &filters)
{
    // With the details hidden, Qt's own dialog names the kind by its description alone.
    const QString selected = dialog.selectedNameFilter();
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (selected == qtFileFilter(filters[i]) || selected == filters[i].section(QLatin1Char('|'), 0, 0))
            return int(i);
    return 0;
}

QString QtToolkit::saveFileName(QWidget *parent, const QStringList &filters, const QString &title, const QString &folder,
                                int *chosen)
{
    const auto dialog = makeSaveDialog(parent, filters, title, folder);
    const GivesFocusBack back(parent);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    *chosen = chosenKind(*dialog, filters);
    return dialog->selectedFiles().constFirst();
}

} // namespace velra
