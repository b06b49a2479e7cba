#pragma once

#include "shell/Wizard.h"

namespace velra {

// The wizard's seven pages, made as the wizard first shows them.
Page *createPage(Wizard &wizard, PageId id);

} // namespace velra
