#include "compat/qtcompat.h"
#include "support/testenvironment.h"
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
    void missingFamilyFallsBackToFixedPitch_data();
    void missingFamilyFallsBackToFixedPitch();
    void storedWeightScale();
};

// Weights are given on the stored scale (50 normal, 75 bold, 25 light).
static QFont makeFont(const QString &family, int pointSize, int weight, QFont::Style style)
{
    QFont result;
    result.setFamily(family);
    result.setPointSize(pointSize);
    QtCompat::setLegacyFontWeight(result, weight);
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
    // Qt 5's parser reads the CSS scale divided by eight; Qt 6's reads its own 1-1000 scale.
    const bool qt5 = QT_VERSION_MAJOR < 6;
    const int bold = qt5 ? 600 : 700;
    const int light = qt5 ? 200 : 300;
    const int heaviest = qt5 ? 792 : 1000;
    QTest::newRow("first-run look")
        << makeFont("Courier New", 10, 50, QFont::StyleNormal) << QColor(255, 255, 255) << green
        << "QTextEdit { font:400 10pt \"Courier New\";color:rgb(255,255,255);"
           "background-color:rgb(67,136,101); }";
    QTest::newRow("italic bold")
        << makeFont("Lucida Console", 12, 75, QFont::StyleItalic) << QColor(0, 0, 0) << green
        << QString("QTextEdit { font:italic %1 12pt \"Lucida Console\";color:rgb(0,0,0);"
                   "background-color:rgb(67,136,101); }")
               .arg(bold);
    QTest::newRow("oblique is not italic")
        << makeFont("Lucida Console", 12, 75, QFont::StyleOblique) << QColor(0, 0, 0) << green
        << QString("QTextEdit { font:%1 12pt \"Lucida Console\";color:rgb(0,0,0);"
                   "background-color:rgb(67,136,101); }")
               .arg(bold);
    QTest::newRow("family with blanks kept as it is")
        << makeFont("DejaVu Sans  Mono Book", 9, 25, QFont::StyleNormal) << QColor(1, 2, 3)
        << QColor(250, 128, 7)
        << QString("QTextEdit { font:%1 9pt \"DejaVu Sans  Mono Book\";color:rgb(1,2,3);"
                   "background-color:rgb(250,128,7); }")
               .arg(light);
    QTest::newRow("alpha is not written")
        << makeFont("Mono", 100, 99, QFont::StyleNormal) << QColor(10, 20, 30, 40)
        << QColor(200, 100, 0, 0)
        << QString("QTextEdit { font:%1 100pt \"Mono\";color:rgb(10,20,30);"
                   "background-color:rgb(200,100,0); }")
               .arg(heaviest);
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

void TestStyleSheet::missingFamilyFallsBackToFixedPitch_data()
{
    QTest::addColumn<QString>("family");
    QTest::newRow("family nobody has") << "No Such Family Here";
    // fontconfig stands in for it with a proportional look-alike (Nimbus Sans, Liberation Sans)
    // even when asked for a typewriter face.
    QTest::newRow("family with a proportional stand-in") << "Helvetica";
}

// Set up as the text view is: every character of the face drawn advances the same width, and the
// view still names the chosen family.
void TestStyleSheet::missingFamilyFallsBackToFixedPitch()
{
    QFETCH(QString, family);
    const QFont missing = makeFont(family, 10, 50, QFont::StyleNormal);
    if (QFontInfo(missing).family().compare(family, Qt::CaseInsensitive) == 0)
        QSKIP("the family is installed here");
    QTextEdit edit;
    edit.setFont(withFixedPitchFallback(edit.font()));
    edit.setStyleSheet(viewStyleSheet(withFixedPitchFallback(missing), Qt::white, Qt::black));
    edit.ensurePolished();
    QCOMPARE(edit.font().family(), family);
    // What lines the columns up, whether or not the face carries a fixed-pitch flag.
    QCOMPARE(glyphAdvances(edit.font()).size(), 1);
}

// The store keeps weights on the 0-99 scale in both builds: each value comes back from a font as
// it went in, and the named weights land on the toolkit's own.
void TestStyleSheet::storedWeightScale()
{
    QFont font;
    for (int weight = 0; weight <= 99; ++weight) {
        QtCompat::setLegacyFontWeight(font, weight);
        QCOMPARE(QtCompat::legacyFontWeight(font), weight);
    }
    QtCompat::setLegacyFontWeight(font, 50);
    QCOMPARE(font.weight(), QFont::Normal);
    QtCompat::setLegacyFontWeight(font, 75);
    QCOMPARE(font.weight(), QFont::Bold);
    QtCompat::setLegacyFontWeight(font, 25);
    QCOMPARE(font.weight(), QFont::Light);
}

QTEST_MAIN(TestStyleSheet)
#include "tst_stylesheet.moc"
