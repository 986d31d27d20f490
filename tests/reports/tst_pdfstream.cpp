#include "reports/PdfSurface.h"

#include <QBuffer>
#include <gtest/gtest.h>

using Velmora::Reports::BlankingFilter;

// Declarations are blanked wherever the writer's writes cut them, and nothing else moves.
TEST(BlankingFilterTest, BlanksThePatternWhereverTheWritesCutIt)
{
    const QByteArray pattern = "/Group << /S /Transparency >>";
    const QByteArray blank(pattern.size(), ' ');
    const struct
    {
        const char *name;
        QByteArray input;
        QByteArray expected;
    } cases[] = {
        {"none", "<< /Type /Page >>", "<< /Type /Page >>"},
        {"one", "<< " + pattern + " /Type /Page >>", "<< " + blank + " /Type /Page >>"},
        {"two together", pattern + pattern, blank + blank},
        {"at the very end", "x" + pattern, "x" + blank},
        {"a near miss", "/Group << /S /Other >>" + pattern.left(10),
         "/Group << /S /Other >>" + pattern.left(10)},
    };
    for (const auto &c : cases) {
        // Every cut of the input in two writes, and one write a byte at a time.
        for (qsizetype cut = 0; cut <= c.input.size() + 1; ++cut) {
            QBuffer out;
            out.open(QIODevice::WriteOnly);
            BlankingFilter filter(out, pattern);
            if (cut <= c.input.size()) {
                filter.write(c.input.constData(), cut);
                filter.write(c.input.constData() + cut, c.input.size() - cut);
            } else {
                for (const char ch : c.input)
                    filter.write(&ch, 1);
            }
            filter.finish();
            EXPECT_EQ(out.data(), c.expected) << c.name << ", cut at " << cut;
        }
    }
}
