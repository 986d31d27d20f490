// The layout editor speaks Portuguese (alignments, kinds, page sizes, numbers with a decimal
// comma) while the layout file keeps its own keywords and dot decimals.
#include "RecordingServices.h"
#include "reports/LayoutEditor.h"
#include "reports/ReportLayout.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

class EditorWords : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath(QStringLiteral("FIS014.json"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(FIS014_LAYOUT), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        editor = std::make_unique<LayoutEditor>(ReportLayout::load(path), LayoutEditor::Hooks{},
                                                nullptr);
        columns = editor->findChild<QTableWidget *>(QStringLiteral("tblColunas"));
        ASSERT_NE(columns, nullptr);
    }

    template <class T> T *cell(int row, int column) const
    {
        return qobject_cast<T *>(columns->cellWidget(row, column));
    }
    int rowOf(const char *field) const
    {
        for (int r = 0; r < columns->rowCount(); ++r)
            if (columns->item(r, LayoutEditor::ColField)->text() == QLatin1String(field))
                return r;
        ADD_FAILURE() << field;
        return 0;
    }
    // The column as the file on disk holds it, after a save.
    QJsonObject savedColumn(const char *field) const
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        for (const QJsonValue &c : QJsonDocument::fromJson(bytes)["columns"].toArray())
            if (c["field"].toString() == QLatin1String(field))
                return c.toObject();
        ADD_FAILURE() << field;
        return {};
    }
    QByteArray savedText() const
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    // Types into a spin box as the clerk does: all selected, the text, then Tab.
    static void type(QDoubleSpinBox *spin, const QString &text)
    {
        QLineEdit *edit = spin->findChild<QLineEdit *>();
        edit->selectAll();
        QTest::keyClicks(spin, text);
        spin->interpretText();
    }

    // A message the editor shows lands here, not in a dialog nobody answers.
    RecordingServices services;
    QTemporaryDir folder;
    QString path;
    std::unique_ptr<LayoutEditor> editor;
    QTableWidget *columns = nullptr;
};

} // namespace

TEST_F(EditorWords, ShowsPortugueseWordsAndCommas)
{
    struct Shown
    {
        const char *field, *align, *type, *width;
    };
    const Shown shown[] = {
        {"NRDOCUMENTO", "esquerda", "texto", "24,0"},
        {"CDSERIE", "centro", "texto", "12,0"},
        {"DTEMISSAO", "centro", "data", "22,0"},
        {"VLCONTABIL", "direita", "número", "36,0"},
    };
    for (const Shown &s : shown) {
        SCOPED_TRACE(s.field);
        const int row = rowOf(s.field);
        EXPECT_EQ(cell<QComboBox>(row, LayoutEditor::ColAlign)->currentText(),
                  QString::fromUtf8(s.align));
        EXPECT_EQ(cell<QComboBox>(row, LayoutEditor::ColType)->currentText(),
                  QString::fromUtf8(s.type));
        EXPECT_EQ(cell<QDoubleSpinBox>(row, LayoutEditor::ColWidth)->text(),
                  QString::fromUtf8(s.width));
    }
    QStringList aligns, kinds;
    for (int i = 0; i < 3; ++i) {
        aligns << cell<QComboBox>(0, LayoutEditor::ColAlign)->itemText(i);
        kinds << cell<QComboBox>(0, LayoutEditor::ColType)->itemText(i);
    }
    EXPECT_EQ(aligns, (QStringList{"esquerda", "centro", "direita"}));
    EXPECT_EQ(kinds, (QStringList{"texto", "número", "data"}));
    // The page's numbers too.
    EXPECT_EQ(editor->findChild<QDoubleSpinBox *>(QStringLiteral("spnFonte"))->text(),
              QStringLiteral("8,00"));
    EXPECT_EQ(editor->findChild<QComboBox *>(QStringLiteral("cbbTamanho"))->currentText(),
              QStringLiteral("A4"));
}

TEST_F(EditorWords, TheChosenWordsAreStoredAsKeywords)
{
    struct Choice
    {
        const char *field, *align, *type, *storedAlign, *storedType;
    };
    // Each column moved to another word: the file gets the keyword of that word.
    const Choice choices[] = {
        {"NRDOCUMENTO", "direita", "número", "right", "number"},
        {"CDSERIE", "esquerda", "data", "left", "date"},
        {"DTEMISSAO", "centro", "texto", "center", "text"},
        {"VLCONTABIL", "esquerda", "número", "left", "number"}, // a total stays a number
    };
    for (const Choice &c : choices) {
        const int row = rowOf(c.field);
        auto *align = cell<QComboBox>(row, LayoutEditor::ColAlign);
        auto *kind = cell<QComboBox>(row, LayoutEditor::ColType);
        align->setCurrentIndex(align->findText(QString::fromUtf8(c.align)));
        kind->setCurrentIndex(kind->findText(QString::fromUtf8(c.type)));
    }
    auto *size = editor->findChild<QComboBox *>(QStringLiteral("cbbTamanho"));
    size->setCurrentIndex(size->findText(QStringLiteral("Ofício")));
    ASSERT_TRUE(editor->save()) << qPrintable(services.messages().join('\n'));

    for (const Choice &c : choices) {
        SCOPED_TRACE(c.field);
        const QJsonObject saved = savedColumn(c.field);
        EXPECT_EQ(saved["align"].toString(), QLatin1String(c.storedAlign));
        EXPECT_EQ(saved["type"].toString(), QLatin1String(c.storedType));
    }
    const QByteArray text = savedText();
    EXPECT_TRUE(text.contains("\"size\": \"Legal\"")) << text.constData();
    for (const char *word : {"direita", "esquerda", "centro", "número", "texto", "Ofício"})
        EXPECT_FALSE(text.contains(word)) << word;

    // Reopened, the editor shows the words again.
    LayoutEditor again(ReportLayout::load(path), {}, nullptr);
    auto *againColumns = again.findChild<QTableWidget *>(QStringLiteral("tblColunas"));
    EXPECT_EQ(qobject_cast<QComboBox *>(againColumns->cellWidget(0, LayoutEditor::ColAlign))
                  ->currentText(),
              QStringLiteral("direita"));
    EXPECT_EQ(again.findChild<QComboBox *>(QStringLiteral("cbbTamanho"))->currentText(),
              QStringLiteral("Ofício"));
}

TEST_F(EditorWords, ANumberTypedWithACommaIsStoredWithItsValue)
{
    struct Typed
    {
        const char *typed;
        double stored;
        const char *shown;
        const char *inFile;
    };
    const Typed cases[] = {
        {"24,5", 24.5, "24,5", "24.5"},
        {"7,2", 7.2, "7,2", "7.2"},
        {"30", 30, "30,0", "30"},
    };
    for (const Typed &t : cases) {
        SCOPED_TRACE(t.typed);
        auto *width = cell<QDoubleSpinBox>(rowOf("NRDOCUMENTO"), LayoutEditor::ColWidth);
        type(width, QString::fromUtf8(t.typed));
        EXPECT_EQ(width->text(), QString::fromUtf8(t.shown));
        EXPECT_DOUBLE_EQ(editor->layout().columns.at(rowOf("NRDOCUMENTO")).width, t.stored);
        ASSERT_TRUE(editor->save()) << qPrintable(services.messages().join('\n'));
        EXPECT_DOUBLE_EQ(savedColumn("NRDOCUMENTO")["width"].toDouble(), t.stored);
        EXPECT_TRUE(savedText().contains(QByteArray("\"width\": ") + t.inFile))
            << savedText().left(2000).constData();
        EXPECT_DOUBLE_EQ(ReportLayout::load(path).columns.at(0).width, t.stored);
    }
    // The page's margins and font take the comma the same way.
    auto *font = editor->findChild<QDoubleSpinBox *>(QStringLiteral("spnFonte"));
    type(font, QStringLiteral("9,5"));
    ASSERT_TRUE(editor->save()) << qPrintable(services.messages().join('\n'));
    EXPECT_DOUBLE_EQ(ReportLayout::load(path).page.fontSize, 9.5);
}
