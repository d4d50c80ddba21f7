// STUB: to be implemented by the terminal work.
#include "ostraview.h"

OstraView::OstraView(QWidget *parent) : QTextEdit(parent) {}
OstraView::~OstraView() = default;
void OstraView::displayBytes(const QByteArray &) {}
void OstraView::setViewFont(const QFont &font) { m_viewFont = font; }
void OstraView::setFontColor(const QColor &color) { m_fontColor = color; }
void OstraView::setBackColor(const QColor &color) { m_backColor = color; }
QFont OstraView::viewFont() const { return m_viewFont; }
QColor OstraView::fontColor() const { return m_fontColor; }
QColor OstraView::backColor() const { return m_backColor; }
void OstraView::keyPressEvent(QKeyEvent *) {}
void OstraView::dragEnterEvent(QDragEnterEvent *) {}
void OstraView::dragMoveEvent(QDragMoveEvent *) {}
void OstraView::dragLeaveEvent(QDragLeaveEvent *) {}
void OstraView::dropEvent(QDropEvent *) {}
void OstraView::insertFromMimeData(const QMimeData *) {}
void OstraView::changeFont() {}
void OstraView::changeFontColor() {}
void OstraView::changeBackColor() {}
void OstraView::moveToEnd() {}
void OstraView::applyStyleSheet() {}
