// STUB: to be implemented by the terminal work.
#include "hexview.h"

HexView::HexView(QWidget *parent) : QAbstractScrollArea(parent) {}
HexView::~HexView() = default;
void HexView::setReadOnly(bool readOnly) { m_readOnly = readOnly; }
bool HexView::isReadOnly() const { return m_readOnly; }
QByteArray HexView::data() const { return m_data; }
void HexView::setData(const QByteArray &data) { m_data = data; }
void HexView::appendData(const QByteArray &data) { m_data += data; }
void HexView::paintEvent(QPaintEvent *) {}
void HexView::resizeEvent(QResizeEvent *) {}
bool HexView::viewportEvent(QEvent *event) { return QAbstractScrollArea::viewportEvent(event); }
void HexView::updateScrollBars() {}
