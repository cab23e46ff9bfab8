#pragma once
// The editor's menu bar as one constant table: five menus, each with its
// items in menu order.
//
// Four menus ("Shape", "Material", "Transform", "Marks") hold the statement
// templates: each inserts one fixed piece of RWX text at the caret. The fifth
// ("Options") holds the clean-up commands, the always-on-top switch and the
// version caption. Every menu and item carries its control name (mnuVertex,
// mnuDC, ...), which is also the QObject name of its widget.
#include <QString>

#include <optional>
#include <span>
#include <string_view>

namespace templates {

// What a command item runs. The window handles every one of them.
enum class MenuCommand {
    DeleteComments,
    DeleteSpacers,
    DeleteEmptyStrings,
    AlwaysOnTop,
};

enum class ItemKind {
    Template,  // inserts `text` into the editing pane
    Separator, // disabled "-------------" line, no command
    Command,   // runs `command`
    Caption,   // disabled caption ("v1.0"), no command
};

struct MenuItem {
    std::string_view controlName;
    std::string_view caption;
    ItemKind kind;
    bool checkable;                     // only mnuAonT; unchecked when built
    std::string_view text;              // the inserted text; empty unless kind == Template
    std::optional<MenuCommand> command; // set exactly when kind == Command

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

// The control name of the item that runs the command.
std::string_view controlNameOf(MenuCommand command);

// A table string as a QString.
inline QString toQString(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

} // namespace templates
