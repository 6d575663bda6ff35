// The bars the main window builds: the state images and buttons of its
// three button bars and the button definitions of its tool bars. The main
// window hands copies of these to the bars (and changes its copies of the
// merge and convert buttons when merging is switched).
#pragma once

#include "app/controls/coolbuttonbar.h"
#include "app/controls/cooltoolbar.h"

#include <span>

struct CoolButtonBarTable {
    COOLBARSTATES states;
    std::span<const COOLBARBUTTON> buttons;
    int bitmapId;
};

// Output formats 1 (EPUB) to 7 (Word); the chosen one is shown disabled.
extern const CoolButtonBarTable kOutputFormatBar;
// The side-panel switch: 1063 output folder, 1065 merge settings.
extern const CoolButtonBarTable kPanelSwitchBar;
// The window's caption buttons: 101 menu, 102 minimise, 103 close.
extern const CoolButtonBarTable kWindowMenuBar;

// The one-button tool bars.
extern const COOLTOOLBUTTON kAddFilesButton;    // 201
extern const COOLTOOLBUTTON kAddFolderButton;   // 202
extern const COOLTOOLBUTTON kCreatePdfButton;   // 203
extern const COOLTOOLBUTTON kConvertButton;     // 301, disabled until the list has rows
// The list and merge tools, in their order: 503 merge on or off, 501 up,
// 502 down, 403 options.
extern const COOLTOOLBUTTON kListToolButtons[4];
