#include "Page.h"

#include "Toolkit.h"
#include "Wizard.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QPushButton>
#include <QShortcut>
#include <QStyleHints>
#include <QTimer>

// The pages live in a static library, whose resources the linker would otherwise drop.
static void initResources()
{
    Q_INIT_RESOURCE(velloran);
}

namespace velra {

Page::Page(Wizard &wizard, const QString &name)
    : m_wizard(wizard)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Velloran"));
    static const bool resourcesReady = (initResources(), true);
    Q_UNUSED(resourcesReady);
    // Each size drawn for itself: the title bar takes the 16 x 16 one.
    QIcon icon(QStringLiteral(":/velra/icon.xpm"));
    icon.addFile(QStringLiteral(":/velra/icon-16.xpm"), QSize(16, 16));
    setWindowIcon(icon);
    setFixedSize(kWidth, kHeight);
    // A fixed single border: no maximise button either.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

QRect Page::twips(int left, int top, int width, int height, QPoint origin)
{
    return QRect((left - origin.x()) / 15, (top - origin.y()) / 15, width / 15, height / 15);
}

Toolkit &Page::toolkit() const
{
    return m_wizard.toolkit();
}

const HandoffFiles &Page::files() const
{
    return m_wizard.files();
}

void Page::message(const QString &prompt, const QString &title, int style)
{
    toolkit().messageBox(this, prompt, title, style);
}

bool Page::justShown() const
{
    return m_shown.isValid() && m_shown.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval();
}

void Page::showEvent(QShowEvent *event)
{
    m_shown.start();
    // The control that has the focus shows it from the start (a frame on the button, the choice),
    // as after a Tab: an author who uses the keyboard sees where Enter or Space will go.
    setAttribute(Qt::WA_KeyboardFocusChange);
    QWidget::showEvent(event);
    if (!m_shownBefore) {
        m_shownBefore = true;
        firstShown();
    } else {
        shownAgain();
        // Never where the page was left: 戻る, clicked to go on from here, would take Enter back
        // again. The focus goes where the page puts it (次へ once it is filled in).
        QWidget *to = focusProxy();
        if (!to || !to->isEnabled() || !to->isVisibleTo(this))
            to = m_nextButton;
        if (to)
            to->setFocus(Qt::OtherFocusReason);
    }
}

QPushButton *Page::enterButton(QWidget *) const
{
    return m_nextButton;
}

QPushButton *Page::addBackButton(const QRect &where, QWidget *parent)
{
    auto *back = new QPushButton(QStringLiteral("戻る"), parent ? parent : this);
    back->setObjectName(QStringLiteral("CommandBack"));
    back->setAutoDefault(false);
    if (!where.isNull())
        back->setGeometry(where);
    back->setToolTip(QStringLiteral("前のページに戻ります（Alt+←）"));
    auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this);
    connect(shortcut, &QShortcut::activated, back, &QPushButton::click);
    connect(back, &QPushButton::clicked, this, [this] { m_wizard.back(this); });
    return back;
}

void Page::messageWhenShown(const QString &prompt, const QString &title, int style)
{
    QTimer::singleShot(0, this, [this, prompt, title, style] { message(prompt, title, style); });
}

void Page::closeEvent(QCloseEvent *event)
{
    if (!m_wizard.isEnding() && !mayClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // The user closed the visible page (close box, Alt+F4): nothing would be left to show, so the
    // whole wizard ends rather than running on without a window. What they typed is kept first.
    if (!m_wizard.isEnding()) {
        m_wizard.keepEdits();
        m_wizard.closeAll();
    }
}

} // namespace velra
