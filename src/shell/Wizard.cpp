#include "Wizard.h"

#include "Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Form4.h"
#include "pages/Form5.h"
#include "pages/Form6.h"
#include "script/Form7.h"

namespace velra {

Wizard::Wizard(Toolkit &toolkit, const HandoffFiles &files)
    : m_toolkit(toolkit)
    , m_files(files)
{
}

Wizard::~Wizard()
{
    for (const auto &page : m_pages)
        delete page.data();
}

void Wizard::start()
{
    show(PageId::Form1);
}

Page *Wizard::show(PageId id)
{
    const int index = int(id) - 1;
    if (m_ending || m_shown[index])
        return page(id);
    m_shown[index] = true;
    Page *p = m_pages[index] ? m_pages[index].data() : (m_pages[index] = create(id)).data();
    p->show();
    return p;
}

void Wizard::handOver(Page *leaving, PageId next)
{
    leaving->hide();
    show(next);
}

Page *Wizard::page(PageId id) const
{
    return m_pages[int(id) - 1].data();
}

void Wizard::closeAll()
{
    if (m_ending)
        return;
    m_ending = true;
    for (const auto &page : m_pages) {
        if (page)
            page->close();
    }
    emit finished();
}

Page *Wizard::create(PageId id)
{
    switch (id) {
    case PageId::Form1:
        return new Form1(*this);
    case PageId::Form2:
        return new Form2(*this);
    case PageId::Form3:
        return new Form3(*this);
    case PageId::Form4:
        return new Form4(*this);
    case PageId::Form5:
        return new Form5(*this);
    case PageId::Form6:
        return new Form6(*this);
    case PageId::Form7:
        return new Form7(*this);
    }
    return nullptr;
}

} // namespace velra
