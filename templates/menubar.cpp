#include "templates/menubar.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace templates {

void buildMenuBar(QMenuBar *bar,
                  std::function<void(const QString &text)> insertTemplate,
                  std::function<void(MenuCommand command)> runCommand)
{
    if (!bar)
        return;
    for (const Menu &menu : menuTable()) {
        QMenu *qmenu = bar->addMenu(toQString(menu.caption));
        qmenu->setObjectName(toQString(menu.controlName));
        qmenu->menuAction()->setMenuRole(QAction::NoRole);
        for (const MenuItem &item : menu.items) {
            QAction *action = qmenu->addAction(toQString(item.caption));
            action->setObjectName(toQString(item.controlName));
            // Keep every item where it stands on platforms that move
            // actions by their captions (e.g. "About", "Preferences").
            action->setMenuRole(QAction::NoRole);
            action->setEnabled(item.enabled());
            action->setCheckable(item.checkable);
            action->setChecked(false);

            if (item.kind == ItemKind::Template && insertTemplate) {
                QObject::connect(action, &QAction::triggered, action,
                                 [insertTemplate, text = toQString(item.text)] {
                                     insertTemplate(text);
                                 });
            } else if (item.command && runCommand) {
                QObject::connect(action, &QAction::triggered, action,
                                 [runCommand, command = *item.command] { runCommand(command); });
            }
        }
    }
}

} // namespace templates
