#include "app/convertjob.h"

#include "app/controls/windowmessage.h"

void PostProgress(void* job, int index, unsigned message, int value)
{
    if (!job)
        return;
    auto* j = static_cast<ConvertJob*>(job);
    PostWindowMessage(j->window, message, static_cast<quintptr>(index), value);
}

bool IsJobCancelled(void* job)
{
    return job && static_cast<ConvertJob*>(job)->cancel.load();
}

void SetItemStatus(ConvertJob* job, int status, int index)
{
    if (!job || index < 0 || static_cast<size_t>(index) >= job->items.size())
        return;
    job->items[static_cast<size_t>(index)].status = status;
    PostProgress(job, index, job->stateMessage, status);
}
