// The report layout reader: a layout file as it lies in the reports folder, edited by hand
// or by the layout editor, read and checked as the report screen reads it.
#include "FuzzSupport.h"

#include "reports/ReportLayout.h"
#include "rtl/Exceptions.h"

#include <QGuiApplication>

using Velmora::Reports::ReportLayout;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::application<QGuiApplication>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = Fuzz::scratch().filePath(QStringLiteral("FUZZ.json"));
    Fuzz::writeFile(path, Fuzz::bytes(data, size));
    ReportLayout layout;
    try {
        layout = ReportLayout::load(path);
    } catch (const Exception &) {
        return 0; // refused with a message naming the file and the problems
    }
    (void)layout.problems();
    for (const auto kind :
         {Velmora::Reports::DatabaseKind::Generic, Velmora::Reports::DatabaseKind::Oracle,
          Velmora::Reports::DatabaseKind::MSSQL, Velmora::Reports::DatabaseKind::InterBase})
        (void)layout.queryText(kind);
    (void)layout.page.pageLayout();
    (void)layout.page.printableWidth();
    // A layout the reader took is saved (by the editor) and read back alike.
    const ReportLayout again = ReportLayout::fromJson(layout.toJson(), path);
    FUZZ_CHECK(again.toJson() == layout.toJson());
    return 0;
}
