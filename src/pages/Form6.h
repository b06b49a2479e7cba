#pragma once

#include "shell/Page.h"

namespace velra {

// The empty page of the detailed mode: no controls; the run stops here.
class Form6 final : public Page
{
    Q_OBJECT

public:
    explicit Form6(Wizard &wizard)
        : Page(wizard, QStringLiteral("Form6"))
    {
    }
};

} // namespace velra
