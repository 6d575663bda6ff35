#include "app/controls/bartables.h"

namespace {

const COOLBARBUTTON kFormatButtons[] = {
    {1, 1, 0, 0, 127, 74, 137, 0},   {1, 2, 128, 0, 125, 74, 161, 0},
    {1, 3, 253, 0, 125, 74, 162, 0}, {1, 4, 378, 0, 125, 74, 163, 0},
    {1, 5, 503, 0, 125, 74, 164, 0}, {1, 6, 628, 0, 125, 74, 177, 0},
    {1, 7, 753, 0, 127, 74, 178, 0},
};

const COOLBARBUTTON kPanelButtons[] = {
    {1, 1063, 0, 0, 96, 19, 208, 208},
    {1, 1065, 96, 0, 96, 19, 209, 209},
};

const COOLBARBUTTON kMenuButtons[] = {
    {1, 101, 0, 0, 27, 22, 0, 0},
    {1, 102, 28, 0, 28, 22, 0, 0},
    {1, 103, 56, 0, 34, 22, 0, 0},
};

// A state image column at x 0 with its four images at these heights.
constexpr COOLTOOLBUTTON ToolButton(int state, int code, int bitmap, int normalY, int hoverY, int pressedY,
                          int disabledY, int width, int height, int textId, int tooltipId,
                          int leftCap, int rightCap)
{
    return COOLTOOLBUTTON{state,   code,     bitmap, 0,      normalY, 0,        hoverY,
                          0,       pressedY, 0,      disabledY, width, height,  textId,
                          tooltipId, leftCap, rightCap, 0};
}

} // namespace

const CoolButtonBarTable kOutputFormatBar{
    {QRect(0, 0, 880, 75), QRect(0, 79, 880, 75), QRect(0, 160, 880, 75), QRect(0, 240, 880, 75)},
    kFormatButtons, 143};

const CoolButtonBarTable kPanelSwitchBar{
    {QRect(0, 0, 192, 19), QRect(0, 19, 192, 19), QRect(0, 38, 192, 19), QRect(0, 57, 192, 19)},
    kPanelButtons, 1063};

const CoolButtonBarTable kWindowMenuBar{
    {QRect(0, 0, 91, 23), QRect(0, 26, 91, 23), QRect(0, 52, 91, 23), QRect(0, 78, 91, 23)},
    kMenuButtons, 146};

const COOLTOOLBUTTON kAddFilesButton = ToolButton(1, 201, 138, 0, 37, 74, 111, 72, 34, 138, 256, 50, 10);
const COOLTOOLBUTTON kAddFolderButton = ToolButton(1, 202, 191, 0, 37, 74, 111, 72, 34, 218, 257, 50, 10);
const COOLTOOLBUTTON kCreatePdfButton = ToolButton(1, 203, 1119, 0, 37, 74, 111, 72, 34, 253, 258, 50, 10);
const COOLTOOLBUTTON kConvertButton = ToolButton(0, 301, 141, 0, 69, 138, 207, 103, 66, 139, 0, 75, 5);

const COOLTOOLBUTTON kListToolButtons[4] = {
    ToolButton(1, 503, 189, 0, 0, 19, 19, 39, 19, 216, 217, 38, 1),
    ToolButton(0, 501, 176, 0, 0, 19, 0, 20, 19, 215, 212, 18, 1),
    ToolButton(0, 502, 174, 0, 0, 19, 19, 20, 19, 214, 213, 18, 1),
    ToolButton(1, 403, 144, 0, 0, 19, 0, 20, 19, 143, 143, 18, 1),
};
