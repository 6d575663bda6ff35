// The record of one batch and its items, shared by the job thread and the
// routes it runs. The user-interface thread builds the record and sets the
// cancel flag; the job thread reads the rest, writes item states and result
// paths, and reports by posting window messages to the record's window.
#pragma once

#include "app/settings.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <string>
#include <vector>

// One listed file as a job item.
struct stru_ItemData {
    int nItem = 0;                 // list row + 1
    QString srcPath;               // the source file
    QString* resultPath = nullptr; // where a route writes its output path; may be null
    int pageCount = 0;
    QString pageRange;             // empty: all pages
    int status = 0;                // 0 not started, 1 running, 2 done, 3 failed, 4 skip
    bool needPassword = false;
    std::string password;          // the source's password, narrow
};

enum JobMessage : unsigned {
    WM_JOB_FINISHED_2 = 1225,
    WM_ITEM_LOAD_FAILED = 1228,
};

struct ConvertJob {
    QObject* window = nullptr;     // receiver of the job's messages; null: none
    unsigned finishedMessage = 1224;
    unsigned finishedMessage2 = WM_JOB_FINISHED_2;
    unsigned percentMessage = 1226;
    unsigned stateMessage = 1227;
    unsigned loadFailedMessage = WM_ITEM_LOAD_FAILED;
    std::atomic<bool> cancel{false};
    std::vector<stru_ItemData> items;
    CFSMSettings settings;
};

// The engine's and MergerTool's progress callback: posts `message` to the
// job's window with wParam = index and lParam = value. Nothing for a null
// context.
void PostProgress(void* job, int index, unsigned message, int value);

// The cancel callback: true when the job's cancel flag is set.
bool IsJobCancelled(void* job);

// Stores `status` in item `index` and posts the state message; nothing when
// index is outside the items.
void SetItemStatus(ConvertJob* job, int status, int index);
