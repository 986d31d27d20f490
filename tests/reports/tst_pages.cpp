#include "reports/KeepTogether.h"

#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

// Bands written as letters: H header, D detail, F group total, S grand total, E no rows.
QString Runs(const QString &bands)
{
    const QString letters = QStringLiteral("HDFSE");
    const Band::Kind kinds[] = {Band::GroupHeader, Band::Detail, Band::GroupFooter, Band::Summary,
                                Band::Empty};
    qsizetype at = 0;
    KeepTogether runs([&](Band &band) {
        if (at >= bands.size())
            return false;
        band.kind = kinds[letters.indexOf(bands.at(at++))];
        return true;
    });
    QStringList out;
    std::vector<Band> run;
    while (runs.next(run)) {
        QString text;
        for (const Band &band : run)
            text += letters.at(int(band.kind == Band::Empty ? 4 : band.kind));
        out << text;
    }
    return out.join(QLatin1Char('|'));
}

TEST(KeepTogether, RunsThatShareAPage)
{
    const struct
    {
        const char *bands, *runs, *why;
    } cases[] = {
        {"HDDDF", "HDDDF", "a small group stays whole"},
        {"HDDDDDF", "HDDDDDF", "five rows are still a small group"},
        {"HDDDDDDF", "HD|D|D|D|D|DF", "a longer one keeps its first row and its last"},
        {"HDFHDDF", "HDF|HDDF", "groups after one another"},
        {"HDDFS", "HDDFS", "the grand total stays with the last small group"},
        {"HDDDDDDFS", "HD|D|D|D|D|DFS", "and with the last row of a longer one"},
        {"DDDS", "D|D|DS", "without groups, the last row keeps the grand total"},
        {"E", "E", "a report without rows"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Runs(QLatin1String(c.bands)), QLatin1String(c.runs)) << c.why;
}

} // namespace
