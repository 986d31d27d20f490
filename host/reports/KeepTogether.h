#pragma once

#include "ReportSource.h"
#include "reports_global.h"

#include <deque>
#include <functional>
#include <vector>

namespace Velmora::Reports {

// Hands a report's bands out in runs that must share a page, so that no page opens on a
// total without the rows it closes:
//  - a group of up to SmallGroup rows, from its header to its total;
//  - a longer group's header with its first row;
//  - a group's last row with its total, and with the grand total when that comes next;
//  - any other band alone.
// It reads at most SmallGroup + 3 bands ahead of the query.
class VELMORA_REPORTS_EXPORT KeepTogether
{
public:
    static constexpr int SmallGroup = 5;

    // Reads the next band into its argument; false at the end.
    using Reader = std::function<bool(Band &)>;

    explicit KeepTogether(Reader read) : m_read(std::move(read)) {}

    // The next run, its bands moved into run (emptied first); false at the end.
    bool next(std::vector<Band> &run);

private:
    // The kind of the band i places ahead; -1 past the end.
    int kindAt(size_t i);

    Reader m_read;
    std::deque<Band> m_ahead;
    bool m_end = false;
};

} // namespace Velmora::Reports
