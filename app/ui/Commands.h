// The command table: every menu and tool-bar command with its menu, text,
// shortcut, enabling rule, pressed state and work. The main window builds its
// menus and tool bars from it and re-evaluates the rules whenever they are
// shown or the picture changes. A command whose work is not part of the
// program yet has no work and stays disabled.
#pragma once

#include "core/StereoWorkspace.h"

#include <QKeySequence>
#include <functional>
#include <string>
#include <vector>

namespace plastora::ui {

class CMainFrame;

enum class MenuId { File, Edit, View, Option, Help, None };

struct Command {
    std::string id;    // stable name for tests and tool bars
    MenuId menu;
    std::string text;  // the menu text, with its &-accelerator
    QKeySequence shortcut;
    std::function<bool(const CStereoWorkspace&)> enabled;
    std::function<bool(const CStereoWorkspace&)> pressed;  // empty: no pressed state
    std::function<void(CMainFrame&)> run;                  // empty: not available yet
    bool separatorBefore = false;
};

// The whole table, in menu order.
const std::vector<Command>& commandTable();
const Command* findCommand(const std::string& id);

// The command's "prompt\ntool tip" text ("" when it has none).
const char* commandTip(const std::string& id);

// State tests the rules share.
bool hasPicture(const CStereoWorkspace& ws);
bool hasViews(const CStereoWorkspace& ws);

}  // namespace plastora::ui
