#include "terminal/stylesheet.h"

#include <QFontInfo>
#include <QTextEdit>
#include <QtTest>

// The style-sheet text of the terminal view, built from its font and two colours.
class TestStyleSheet : public QObject
{
    Q_OBJECT

private slots:
    void sheet_data();
    void sheet();
    void storedTextCannotBreakTheSheet_data();
    void storedTextCannotBreakTheSheet();
    void missingFamilyFallsBackToFixedPitch();
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
    QTest::newRow("size too large to show a character")
        << makeFont("Mono", 100000, 50, QFont::StyleNormal) << QColor(1, 2, 3) << QColor(4, 5, 6)
        << "QTextEdit { font:400 144pt \"Mono\";color:rgb(1,2,3);background-color:rgb(4,5,6); }";
    QTest::newRow("size too small to read")
        << makeFont("Mono", 1, 50, QFont::StyleNormal) << QColor(1, 2, 3) << QColor(4, 5, 6)
        << "QTextEdit { font:400 6pt \"Mono\";color:rgb(1,2,3);background-color:rgb(4,5,6); }";
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

// Whatever a stored family holds, the sheet stays one rule: the colours still apply, and the
// family the view asks for is the stored one without what cannot be quoted.
void TestStyleSheet::storedTextCannotBreakTheSheet_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("shown");
    QTest::newRow("quotes and a rule of its own") << "x\";color:rgb(0,255,0);} QWidget { font:\"y"
                                                  << "x\";color:rgb(0,255,0);} QWidget { font:\"y";
    QTest::newRow("backslashes") << "A\\B\\"
                                 << "AB";
    QTest::newRow("backslash before hex digits") << "Mono\\1b"
                                                 << "Mono1b";
    QTest::newRow("NUL and line break") << QString::fromLatin1("Mo\0no\nX", 7) << "MonoX";
    QTest::newRow("comment opener") << "/* Mono"
                                    << "/* Mono";
}

void TestStyleSheet::storedTextCannotBreakTheSheet()
{
    QFETCH(QString, family);
    QFETCH(QString, shown);
    QTextEdit edit;
    edit.setStyleSheet(viewStyleSheet(makeFont(family, 10, 50, QFont::StyleNormal),
                                      QColor(255, 0, 0), QColor(1, 2, 3)));
    edit.ensurePolished();
    QCOMPARE(edit.font().family(), shown);
    QCOMPARE(edit.palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(edit.palette().color(QPalette::Base), QColor(1, 2, 3));
}

void TestStyleSheet::missingFamilyFallsBackToFixedPitch()
{
    QTextEdit edit;
    edit.setFont(withFixedPitchFallback(edit.font()));
    const QFont missing = makeFont("No Such Family Here", 10, 50, QFont::StyleNormal);
    edit.setStyleSheet(viewStyleSheet(missing, Qt::white, Qt::black));
    edit.ensurePolished();
    QCOMPARE(edit.font().family(), missing.family());
    QVERIFY(QFontInfo(edit.font()).fixedPitch());
}

QTEST_MAIN(TestStyleSheet)
#include "tst_stylesheet.moc"
