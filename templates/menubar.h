#pragma once
// The editor's menu bar as one constant table, and the builder that turns it
// into Qt menus.
//
// Four menus ("Shape", "Material", "Transform", "Marks") hold the statement
// templates: each inserts one fixed piece of RWX text at the caret. The fifth
// ("Options") holds the clean-up commands, the always-on-top switch and the
// version caption. Every menu and item carries its control name (mnuVertex,
// mnuDC, ...), which is also the QObject name of its widget.

#include <QString>

#include <functional>
#include <span>
#include <string_view>

class QMenuBar;

namespace templates {

enum class ItemKind {
    Template,  // inserts `text` into the editing pane
    Separator, // disabled "-------------" line, no command
    Command,   // runs the command named by the control name
    Caption,   // disabled caption ("v1.0"), no command
};

struct MenuItem {
    std::string_view controlName;
    std::string_view caption;
    ItemKind kind;
    bool checkable;        // only mnuAonT; unchecked when built
    std::string_view text; // the inserted text; empty unless kind == Template

    bool enabled() const { return kind == ItemKind::Template || kind == ItemKind::Command; }
};

struct Menu {
    std::string_view controlName;
    std::string_view caption;
    std::span<const MenuItem> items;
};

// The five top-level menus, left to right, each with its items in menu order.
// All texts are plain ASCII; line breaks inside a text are CR LF.
std::span<const Menu> menuTable();

// The item with this control name, or nullptr.
const MenuItem *findItem(std::string_view controlName);

// A table string as a QString.
inline QString toQString(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// Appends the five menus of the table to `bar`, building one QMenu per menu
// and one QAction per item: object names are the control names, texts the
// captions (no access keys, no shortcuts), disabled items are disabled and
// connected to nothing, mnuAonT is checkable and unchecked.
//
// A triggered template item calls insertTemplate(text) with its exact text.
// A triggered command item calls runCommand(controlName). For mnuAonT the
// action has already flipped its check mark when runCommand is called, so
// the new state is the action's isChecked().
//
// Empty callbacks are allowed: the items then do nothing. A null bar is
// ignored.
void buildMenuBar(QMenuBar *bar,
                  std::function<void(const QString &text)> insertTemplate,
                  std::function<void(const QString &controlName)> runCommand);

} // namespace templates
