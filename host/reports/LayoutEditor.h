#pragma once

#include "ReportLayout.h"
#include "reports_global.h"

#include <QDialog>
#include <QImage>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class TParams;

namespace Velmora::Reports {

// The layout editor: title, columns, grouping, totals, query texts and page, each through
// its own widgets; tries the query with the screen's parameters and saves the file.
class VELMORA_REPORTS_EXPORT LayoutEditor : public QDialog
{
    Q_OBJECT
public:
    struct Hooks
    {
        // Fills the query's parameters from the screen; false when that is not possible.
        std::function<bool(const ReportLayout &layout, TParams &params)> askParams;
        // Creates a new layout file ("Novo"); its path, or empty when the user gave up.
        std::function<QString(const ReportLayout &current)> createNew;
    };

    LayoutEditor(const ReportLayout &layout, Hooks hooks, QWidget *parent);

    // The layout as the widgets hold it.
    ReportLayout layout() const;
    void load(const ReportLayout &layout);
    // Checks and writes the layout to its file; false (after a message) when it is not sound.
    bool save();
    // Runs the query with the screen's parameters and shows its first rows; the row count,
    // -2 when there are more than are shown, -1 when it did not run.
    qint64 tryQuery();
    // Runs the query with the screen's parameters and shows the first page as print, PDF and
    // preview draw it; the picture shown, null when the query did not run.
    QImage showFirstPage();
    bool modified() const { return m_modified; }

    // Column table positions, for the code that drives the widgets.
    enum ColumnField { ColField, ColLabel, ColWidth, ColAlign, ColType, ColFormat, ColTotal };

signals:
    void saved(const QString &path);

private:
    // Checks the layout as the widgets hold it (raises its problems, use saying what was
    // asked: "testado") and asks the screen for the query's values; false when it gave none.
    bool askParams(const ReportLayout &l, TParams &params, const QString &use);
    void addColumn(const Column &column, bool total);
    void moveColumn(int delta);
    void newLayout();
    void markModified() { m_modified = true; }

    Hooks m_hooks;
    QString m_path;
    QString m_report;
    QLineEdit *m_title;
    QTableWidget *m_columns;
    QTableWidget *m_groupFields;
    QLineEdit *m_groupHeader;
    QLineEdit *m_groupFooter;
    QLineEdit *m_grandTotal;
    QMap<QString, QPlainTextEdit *> m_queries;
    QComboBox *m_pageSize;
    QComboBox *m_orientation;
    QDoubleSpinBox *m_fontSize;
    QDoubleSpinBox *m_margins[4];
    QTableWidget *m_result;
    QLabel *m_resultLabel;
    QLabel *m_pageView;
    bool m_modified = false;
};

} // namespace Velmora::Reports
