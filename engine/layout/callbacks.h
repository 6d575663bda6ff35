// The caller's progress and cancel callbacks and the message codes that the
// engine reports through them.
#pragma once

enum ProgressMessage : unsigned {
    WM_JOB_FINISHED = 1224,
    WM_PROGRESS_PERCENT = 1226,   // value: percent of the current item
    WM_PROGRESS_STATE = 1227,     // value: 1 begun, 2 done, 3 failed
};

enum ItemState : int {
    ITEM_STARTED = 1,
    ITEM_DONE = 2,
    ITEM_FAILED = 3,
};

using ProgressFunc = void (*)(void* ctx, int item, unsigned message, int value);
using CancelFunc = bool (*)(void* ctx);

// Either pointer may be null; a call through a null pointer is skipped.
struct callback_funcs {
    ProgressFunc progress = nullptr;
    CancelFunc cancel = nullptr;
};
