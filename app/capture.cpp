// Saving what the terminal shows as an HTML or plain-text capture file.

#include "app/capturefile.h"
#include "app/vantorterm.h"
#include "terminal/ostraview.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QTextDocument>

namespace {

// The view's text with a line break for each break between lines, and every other character as
// it was received. The toolkit's plain-text export would turn a received 0xA0 (no-break space)
// into a blank.
QString plainCapture(const QTextDocument &document)
{
    QString text = document.toRawText();
    for (QChar &character : text) {
        const ushort code = character.unicode();
        if (code == QChar::ParagraphSeparator || code == QChar::LineSeparator || code == 0xfdd0
            || code == 0xfdd1)
            character = QLatin1Char('\n');
    }
    return text;
}

// The toolkit's HTML export declares no character set (or UTF-8, in newer versions), but the
// file is written as Latin-1: say so, or a browser shows é as two odd characters.
QString latin1Html(QString html)
{
    html.remove(QStringLiteral("<meta charset=\"utf-8\" />"));
    const QString head = QStringLiteral("<head>");
    const int at = html.indexOf(head);
    const QString declaration = QStringLiteral(
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\" />");
    if (at >= 0)
        html.insert(at + head.size(), declaration);
    return html;
}

} // namespace

void VantorTerm::setCaptureFileNamePrompt(FileNamePrompt prompt)
{
    m_captureFileNamePrompt = std::move(prompt);
}

void VantorTerm::saveCapture()
{
    const QString fileName
        = m_captureFileNamePrompt
              ? m_captureFileNamePrompt(this)
              : QFileDialog::getSaveFileName(this, tr("Save Capture File"), QString(),
                                             tr("html Files (*.html);;log Files (*.log)"));
    if (fileName.isEmpty())
        return;

    // Taken after the dialog has closed, so data received meanwhile is part of the capture, and
    // with the batches that the view still holds back for its next frame; as shown, with the
    // time before each line that has one.
    const std::unique_ptr<QTextDocument> stamped = view->stampedCopy();
    const QTextDocument &shown = stamped ? *stamped : *view->document();
    const QString content = fileName.contains(QLatin1String(".html")) ? latin1Html(shown.toHtml())
                                                                      : plainCapture(shown);
    const QString failure = writeCaptureFile(fileName, content.toLatin1());
    if (!failure.isEmpty())
        QMessageBox::critical(this, tr("save capture file Error!"), failure);
}
