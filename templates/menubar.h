#pragma once
// The builder that turns the menu table (templates/table.h) into Qt menus.
#include "templates/table.h"

#include <QString>

#include <functional>

class QMenuBar;

namespace templates {

// Appends the five menus of the table to `bar`, building one QMenu per menu
// and one QAction per item: object names are the control names, texts the
// captions (no access keys, no shortcuts), disabled items are disabled and
// connected to nothing, mnuAonT is checkable and unchecked.
//
// A triggered template item calls insertTemplate(text) with its exact text.
// A triggered command item calls runCommand(command). For mnuAonT the action
// has already flipped its check mark when runCommand is called, so the new
// state is the action's isChecked().
//
// Empty callbacks are allowed: the items then do nothing. A null bar is
// ignored.
void buildMenuBar(QMenuBar *bar,
                  std::function<void(const QString &text)> insertTemplate,
                  std::function<void(MenuCommand command)> runCommand);

} // namespace templates
