// The engine's entry points: convert every job item into its own output, or
// all items into one merged output.
#pragma once

#include "engine/layout/callbacks.h"
#include "engine/layout/jobrecords.h"

#include <string>
#include <vector>

// Converts each item separately; writes each item's `result` (the path of the
// written file or folder). Progress and item states go through `callbacks`
// with `ctx`. tmpDir ends with "/".
void convert(std::vector<Basedata_w>& items, const std::wstring& tmpDir, void* ctx,
             const callback_funcs& callbacks);

// Puts the selected pages of all items, in item order, into one document
// named `name` in the first item's output folder (pictures: one folder of
// pages numbered on across the items). Every item whose pages went into the
// written document gets its path as `result`.
void mergeall(std::vector<Basedata_w>& items, const std::wstring& tmpDir, void* ctx,
              const callback_funcs& callbacks, std::wstring& name);
