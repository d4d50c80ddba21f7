#include "terminal/stylesheet.h"

#include <QtTest>

// The style-sheet text of the terminal view, built from its font and two colours.
class TestStyleSheet : public QObject
{
    Q_OBJECT

private slots:
    void sheet_data();
    void sheet();
};

static QFont makeFont(const QString &family, int pointSize, int weight, QFont::Style style)
{
    QFont result;
    result.setFamily(family);
    result.setPointSize(pointSize);
    result.setWeight(weight);
    result.setStyle(style);
    return result;
}

void TestStyleSheet::sheet_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QColor>("fontColor");
    QTest::addColumn<QColor>("backColor");
    QTest::addColumn<QString>("expected");

    const QColor green(0x43, 0x88, 0x65);
    QTest::newRow("first-run look")
        << makeFont("Courier New", 10, 50, QFont::StyleNormal) << QColor(255, 255, 255) << green
        << "QTextEdit { font:400 10pt \"Courier New\";color:rgb(255,255,255);"
           "background-color:rgb(67,136,101); }";
    QTest::newRow("italic bold")
        << makeFont("Lucida Console", 12, QFont::Bold, QFont::StyleItalic) << QColor(0, 0, 0)
        << green
        << "QTextEdit { font:italic 600 12pt \"Lucida Console\";color:rgb(0,0,0);"
           "background-color:rgb(67,136,101); }";
    QTest::newRow("oblique is not italic")
        << makeFont("Lucida Console", 12, QFont::Bold, QFont::StyleOblique) << QColor(0, 0, 0)
        << green
        << "QTextEdit { font:600 12pt \"Lucida Console\";color:rgb(0,0,0);"
           "background-color:rgb(67,136,101); }";
    QTest::newRow("family with blanks kept as it is")
        << makeFont("DejaVu Sans  Mono Book", 9, QFont::Light, QFont::StyleNormal)
        << QColor(1, 2, 3) << QColor(250, 128, 7)
        << "QTextEdit { font:200 9pt \"DejaVu Sans  Mono Book\";color:rgb(1,2,3);"
           "background-color:rgb(250,128,7); }";
    QTest::newRow("alpha is not written")
        << makeFont("Mono", 100, 99, QFont::StyleNormal) << QColor(10, 20, 30, 40)
        << QColor(200, 100, 0, 0)
        << "QTextEdit { font:792 100pt \"Mono\";color:rgb(10,20,30);"
           "background-color:rgb(200,100,0); }";
    QTest::newRow("invalid background is black")
        << makeFont("Courier New", 10, 50, QFont::StyleNormal) << QColor(255, 255, 255)
        << QColor("no such colour")
        << "QTextEdit { font:400 10pt \"Courier New\";color:rgb(255,255,255);"
           "background-color:rgb(0,0,0); }";
    QTest::newRow("default-constructed background is black")
        << makeFont("Courier New", 10, 50, QFont::StyleNormal) << QColor(255, 255, 255) << QColor()
        << "QTextEdit { font:400 10pt \"Courier New\";color:rgb(255,255,255);"
           "background-color:rgb(0,0,0); }";
    QTest::newRow("colour given as HSV")
        << makeFont("Courier New", 10, 50, QFont::StyleNormal) << QColor::fromHsv(0, 255, 255)
        << QColor::fromHsv(240, 255, 128)
        << "QTextEdit { font:400 10pt \"Courier New\";color:rgb(255,0,0);"
           "background-color:rgb(0,0,128); }";
}

void TestStyleSheet::sheet()
{
    QFETCH(QFont, font);
    QFETCH(QColor, fontColor);
    QFETCH(QColor, backColor);
    QFETCH(QString, expected);
    QCOMPARE(viewStyleSheet(font, fontColor, backColor), expected);
}

QTEST_MAIN(TestStyleSheet)
#include "tst_stylesheet.moc"
