#include "Form2.h"
#include "Form3.h"
#include "Form4.h"
#include "Form5.h"
#include "Form6.h"
#include "Form7.h"
#include "Pages.h"

#include "Form1.h"

namespace velra {

Page *createPage(Wizard &wizard, PageId id)
{
    switch (id) {
    case PageId::Form1:
        return new Form1(wizard);
    case PageId::Form2:
        return new Form2(wizard);
    case PageId::Form3:
        return new Form3(wizard);
    case PageId::Form4:
        return new Form4(wizard);
    case PageId::Form5:
        return new Form5(wizard);
    case PageId::Form6:
        return new Form6(wizard);
    case PageId::Form7:
        return new Form7(wizard);
    }
    return nullptr;
}

} // namespace velra
