// The status panel's line.
#include "app/panel_text.h"

#include <cstdio>

int PanelPercent(uint32_t done, uint32_t total)
{
    if (done == 0)
        return 0;
    // Quotient first, then times 100: 29 of 100 gives 28, as the panel has always shown.
    double percent = static_cast<double>(done) / static_cast<double>(total) * 100.0;
    if (percent > 100.0)
        percent = 100.0;
    return static_cast<int>(percent);
}

bool PanelText(uint32_t done, uint32_t total, std::string& text)
{
    text.clear();
    if (total == 0)
        return false;
    char line[256];
    // Unsigned, so that files of 2 GiB and more are not shown with negative counts.
    std::snprintf(line, sizeof line, "Bytes Completed: %u/%u (%d%%)", static_cast<unsigned>(done),
                  static_cast<unsigned>(total), PanelPercent(done, total));
    text = line;
    return true;
}
