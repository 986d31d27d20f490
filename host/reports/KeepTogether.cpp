#include "KeepTogether.h"

namespace Velmora::Reports {

int KeepTogether::kindAt(size_t i)
{
    while (m_ahead.size() <= i && !m_end) {
        m_ahead.emplace_back();
        if (!m_read(m_ahead.back())) {
            m_ahead.pop_back();
            m_end = true;
        }
    }
    return i < m_ahead.size() ? m_ahead[i].kind : -1;
}

bool KeepTogether::next(std::vector<Band> &run)
{
    run.clear();
    if (kindAt(0) < 0)
        return false;
    size_t n = 1;
    // A total keeps the row before it, and the grand total keeps the total before it.
    auto closing = [&](size_t footer) {
        n = footer + 1;
        if (kindAt(n) == Band::Summary)
            ++n;
    };
    switch (kindAt(0)) {
    case Band::GroupHeader: {
        size_t i = 1;
        while (i <= SmallGroup && kindAt(i) == Band::Detail)
            ++i;
        if (kindAt(i) == Band::GroupFooter)
            closing(i);
        else
            n = 2;
        break;
    }
    case Band::Detail:
        if (kindAt(1) == Band::GroupFooter)
            closing(1);
        else if (kindAt(1) == Band::Summary)
            n = 2;
        break;
    case Band::GroupFooter:
        if (kindAt(1) == Band::Summary)
            n = 2;
        break;
    default:
        break;
    }
    n = qMin(n, m_ahead.size());
    for (size_t i = 0; i < n; ++i) {
        run.push_back(std::move(m_ahead.front()));
        m_ahead.pop_front();
    }
    return true;
}

} // namespace Velmora::Reports
