// Readers of the pictures stored in Excel and PowerPoint 97-2003 files: the
// picture store (FBSE and blip records) of a workbook's drawing groups and
// of a presentation's "Pictures" stream. Neither reads cells, text or
// slides.
#pragma once

#include <cstdint>
#include <vector>

namespace scrivlet {

// The drawing groups of a workbook stream (BIFF records): each MsoDrawingGroup
// record joined with the Continue records that directly follow it. False
// when a record runs past the stream or a run of Continue records reaches
// its end; the groups found before stay in `groups`.
bool JoinDrawingGroups(const std::vector<std::uint8_t>& workbook, std::vector<std::vector<std::uint8_t>>& groups);

} // namespace scrivlet
