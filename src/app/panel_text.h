// The status panel's line, a function of the two transfer counts alone. No Windows header.
#pragma once
#include <cstdint>
#include <string>

// Percentage done: 0 when done is 0; else (done / total) * 100 in double precision,
// at most 100, truncated. total must not be 0.
int PanelPercent(uint32_t done, uint32_t total);

// The line "Bytes Completed: done/total (pct%)"; false (and text empty) when total is 0.
bool PanelText(uint32_t done, uint32_t total, std::string& text);
