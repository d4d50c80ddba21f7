// Saving what the terminal shows as an HTML or plain-text capture file.

#include "app/vantorterm.h"
#include "terminal/ostraview.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

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

    // Taken after the dialog has closed, so data received meanwhile is part of the capture.
    const QString content
        = fileName.contains(QLatin1String(".html")) ? view->toHtml() : view->toPlainText();
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QMessageBox::critical(this, tr("save capture file Error!"), tr("Can't Open File"));
        return;
    }
    const QByteArray bytes = content.toLatin1();
    // A full disk shows only when the buffered bytes are flushed, so check the flush and the
    // close too: a capture must never be lost silently.
    bool written = file.write(bytes) == bytes.size();
    written = file.flush() && written;
    file.close();
    written = written && file.error() == QFileDevice::NoError;
    if (!written)
        QMessageBox::critical(this, tr("save capture file Error!"), tr("Can't Write File"));
}
