#include "editor/TTextControl.h"

#include "editor/TButtonBar.h"
#include "editor/TRuler.h"
#include "editor/TxDialogs.h"
#include "editor/format/DocumentIO.h"
#include "platform/Error.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace orv {

using doc::FieldData;
using doc::FieldDeletable;
using doc::FieldId;
using doc::FieldKind;

namespace {

constexpr int kFieldProperties[] = {FieldId, FieldData, FieldKind, doc::FieldChangeable, FieldDeletable};

QTextCharFormat withoutField(QTextCharFormat f)
{
    for (int p : kFieldProperties)
        f.clearProperty(p);
    return f;
}

// Walks every character fragment of a document in order (table cells included).
template <typename F>
void forEachFragment(QTextDocument* d, F&& f)
{
    for (QTextBlock b = d->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().isValid())
                f(it.fragment());
}

} // namespace

template <typename F>
void TTextControl::silently(F&& f)
{
    ++m_silent;
    try {
        f();
    } catch (...) {
        --m_silent;
        throw;
    }
    --m_silent;
}

TTextControl::TTextControl(QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(std::make_unique<doc::TxDocument>()), m_layoutDevice(1, 1, QImage::Format_ARGB32)
{
    setObjectName(QStringLiteral("tx1"));
    m_layoutDevice.setDotsPerMeterX(3780); // 96 dpi
    m_layoutDevice.setDotsPerMeterY(3780);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    connectDocument(m_doc->body());
    connectDocument(m_doc->footer());
    m_cursor = QTextCursor(m_doc->body());
    m_blink.setInterval(530);
    connect(&m_blink, &QTimer::timeout, this, [this] {
        m_caretOn = !m_caretOn;
        viewport()->update();
    });
    relayout();
}

TTextControl::~TTextControl() = default;

QTextDocument* TTextControl::activeDocument() const { return m_footerActive ? m_doc->footer() : m_doc->body(); }

void TTextControl::connectDocument(QTextDocument* d)
{
    silently([&] {
        d->documentLayout()->setPaintDevice(&m_layoutDevice);
        if (d->defaultFont() == QGuiApplication::font())
            d->setDefaultFont(QFont(QStringLiteral("Times New Roman"), 12));
        d->setDocumentMargin(0);
        d->clearUndoRedoStacks();
    });
    connect(d, &QTextDocument::contentsChange, this, [this](int, int, int) {
        m_fieldsDirty = true;
        viewport()->update();
    });
    connect(d, &QTextDocument::contentsChanged, this, [this] {
        if (m_silent == 0)
            emit OnChange();
    });
    connect(d->documentLayout(), &QAbstractTextDocumentLayout::pageCountChanged, this, [this](int) { updateScrollBars(); });
}

// ---------------------------------------------------------------- geometry

TTextControl::PageGeometry TTextControl::geometry() const
{
    // Values from a file are kept as given; only the drawing clamps them, so
    // that a strange header can neither break the layout nor be lost on save.
    const auto& pg = m_doc->page;
    PageGeometry g{};
    g.pageW = std::clamp(pg.width, 1440, 1440 * 60) / kTwipsPerPixel;
    g.pageH = std::clamp(pg.height, 1440, 1440 * 60) / kTwipsPerPixel;
    double l = std::max(0, pg.marginLeft) / kTwipsPerPixel, r = std::max(0, pg.marginRight) / kTwipsPerPixel;
    double t = std::max(0, pg.marginTop) / kTwipsPerPixel, b = std::max(0, pg.marginBottom) / kTwipsPerPixel;
    const double minContent = 48; // half an inch
    if (l + r > g.pageW - minContent) {
        const double k = (g.pageW - minContent) / (l + r);
        l *= k;
        r *= k;
    }
    if (t + b > g.pageH - minContent) {
        const double k = (g.pageH - minContent) / (t + b);
        t *= k;
        b *= k;
    }
    g.left = l;
    g.top = t;
    g.bottom = b;
    g.contentW = g.pageW - l - r;
    g.contentH = g.pageH - t - b;
    return g;
}

void TTextControl::relayout()
{
    const PageGeometry g = geometry();
    silently([&] {
        m_doc->body()->setPageSize(QSizeF(g.contentW, g.contentH));
        m_doc->footer()->setTextWidth(g.contentW);
    });
    updateScrollBars();
    viewport()->update();
    syncBarAndRuler();
}

double TTextControl::footerTop(const PageGeometry& g) const
{
    const double h = m_doc->footer()->size().height();
    return g.pageH - g.bottom + std::max(4.0, (g.bottom - h) / 2);
}

double TTextControl::pageTopInView(int page) const { return viewGap() + page * (geometry().pageH + viewGap()); }

void TTextControl::updateScrollBars()
{
    const PageGeometry g = geometry();
    const double z = m_zoom / 100.0;
    const int pages = std::max(1, m_doc->body()->pageCount());
    const int totalW = int(std::ceil((g.pageW + 2 * viewGap()) * z));
    const int totalH = int(std::ceil((viewGap() + pages * (g.pageH + viewGap())) * z));
    const QSize vs = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, totalW - vs.width()));
    horizontalScrollBar()->setPageStep(vs.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, totalH - vs.height()));
    verticalScrollBar()->setPageStep(vs.height());
    verticalScrollBar()->setSingleStep(20);
}

QPointF TTextControl::viewOrigin() const
{
    const double z = m_zoom / 100.0;
    const double totalW = (geometry().pageW + 2 * viewGap()) * z;
    const double vw = viewport()->width();
    const double x = totalW < vw ? (vw - totalW) / 2 : -horizontalScrollBar()->value();
    return {x, -double(verticalScrollBar()->value())};
}

QPointF TTextControl::widgetToView(const QPointF& p) const
{
    const double z = m_zoom / 100.0;
    return (p - viewOrigin()) / z;
}

int TTextControl::hitTest(const QPointF& widgetPos, bool* inFooter) const
{
    const PageGeometry g = geometry();
    const QPointF v = widgetToView(widgetPos);
    const int pages = std::max(1, m_doc->body()->pageCount());
    int page = int(std::floor((v.y() - viewGap()) / (g.pageH + viewGap())));
    page = std::clamp(page, 0, pages - 1);
    const double ly = v.y() - pageTopInView(page);
    const double lx = v.x() - viewGap() - g.left;
    const bool footer = ly >= g.pageH - g.bottom;
    if (inFooter)
        *inFooter = footer;
    if (m_footerActive) {
        const QPointF fp(lx, ly - footerTop(g));
        return m_doc->footer()->documentLayout()->hitTest(fp, Qt::FuzzyHit);
    }
    const double y = std::clamp(ly - g.top, 0.0, g.contentH - 1) + page * g.contentH;
    const int pos = m_doc->body()->documentLayout()->hitTest(QPointF(std::clamp(lx, 0.0, g.contentW), y), Qt::FuzzyHit);
    return pos < 0 ? 0 : pos;
}

// The caret in the coordinates of the page view (zoom 100, no scrolling).
QRectF TTextControl::caretRectInView() const
{
    QTextDocument* d = activeDocument();
    const QTextBlock block = m_cursor.block();
    if (!block.isValid() || !block.layout())
        return {};
    const QRectF br = d->documentLayout()->blockBoundingRect(block);
    const int rel = m_cursor.position() - block.position();
    const QTextLine line = block.layout()->lineForTextPosition(rel);
    QRectF r;
    if (line.isValid())
        r = QRectF(br.x() + line.cursorToX(rel), br.y() + line.y(), 1, line.height());
    else
        r = QRectF(br.x(), br.y(), 1, 16);
    const PageGeometry g = geometry();
    if (m_footerActive)
        return r.translated(viewGap() + g.left, pageTopInView(m_footerPage) + footerTop(g));
    const int page = std::max(0, int(std::floor(r.y() / g.contentH)));
    return r.translated(viewGap() + g.left, pageTopInView(page) + g.top - page * g.contentH);
}

void TTextControl::ensureCursorVisible()
{
    const double z = m_zoom / 100.0;
    const QRectF r = caretRectInView();
    if (r.isNull())
        return;
    const QRectF w(r.topLeft() * z + viewOrigin(), r.size() * z);
    const QRect vp = viewport()->rect();
    if (w.top() < 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + int(w.top()) - 10);
    else if (w.bottom() > vp.height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + int(w.bottom() - vp.height()) + 10);
    if (w.left() < 0)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(w.left()) - 10);
    else if (w.right() > vp.width())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(w.right() - vp.width()) + 10);
}

// ---------------------------------------------------------------- drawing

void TTextControl::drawPage(QPainter* p, int page, bool forPrint, const QRectF&)
{
    const PageGeometry g = geometry();
    if (!forPrint) {
        p->fillRect(QRectF(3, 3, g.pageW, g.pageH), QColor(0, 0, 0, 60));
        p->fillRect(QRectF(0, 0, g.pageW, g.pageH), Qt::white);
        p->setPen(QPen(QColor(160, 160, 160), 0));
        p->drawRect(QRectF(0, 0, g.pageW, g.pageH));
        // Corner marks of the text area, as a guide only.
        p->setPen(QPen(QColor(200, 200, 200), 0));
        const QRectF c(g.left, g.top, g.contentW, g.contentH);
        const double m = 8;
        for (const QPointF& pt : {c.topLeft(), c.topRight(), c.bottomLeft(), c.bottomRight()}) {
            const double sx = pt.x() == c.left() ? -1 : 1, sy = pt.y() == c.top() ? -1 : 1;
            p->drawLine(pt, pt + QPointF(sx * m, 0));
            p->drawLine(pt, pt + QPointF(0, sy * m));
        }
    }

    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, Qt::black);
    const bool showCaret = !forPrint && hasFocus() && m_caretOn;
    auto selections = [&](QAbstractTextDocumentLayout::PaintContext& c) {
        if (m_cursor.hasSelection()) {
            QAbstractTextDocumentLayout::Selection s;
            s.cursor = m_cursor;
            s.format.setBackground(palette().brush(QPalette::Highlight));
            s.format.setForeground(palette().brush(QPalette::HighlightedText));
            c.selections.append(s);
        }
        c.cursorPosition = showCaret ? m_cursor.position() : -1;
    };

    p->save();
    p->translate(g.left, g.top - page * g.contentH);
    const QRectF clip(0, page * g.contentH, g.contentW, g.contentH);
    p->setClipRect(clip, Qt::IntersectClip);
    // Lines touching the page's edge belong to the neighbouring page; without
    // the margin they would also go, clipped but searchable, into a PDF.
    ctx.clip = clip.adjusted(0, 1, 0, -1);
    if (!forPrint && !m_footerActive)
        selections(ctx);
    m_doc->body()->documentLayout()->draw(p, ctx);
    if (m_gridLines && !forPrint)
        drawTableGrid(p, m_doc->body(), clip);
    p->restore();

    QTextDocument* footer = m_doc->footer();
    if (!footer->isEmpty() || m_footerActive) {
        p->save();
        p->translate(g.left, footerTop(g));
        QAbstractTextDocumentLayout::PaintContext fctx;
        fctx.palette.setColor(QPalette::Text, Qt::black);
        if (!forPrint && m_footerActive && page == m_footerPage)
            selections(fctx);
        footer->documentLayout()->draw(p, fctx);
        if (!forPrint && m_footerActive) {
            p->setPen(QPen(QColor(90, 120, 200), 0, Qt::DashLine));
            p->drawRect(QRectF(-2, -2, g.contentW + 4, std::max(footer->size().height(), 14.0) + 4));
        }
        p->restore();
    }
}

// Dotted lines along the cells of every table, so that tables without
// borders can be edited.
void TTextControl::drawTableGrid(QPainter* p, QTextDocument* d, const QRectF& clip)
{
    auto* layout = d->documentLayout();
    std::set<QTextTable*> tables;
    for (QTextBlock b = d->begin(); b.isValid(); b = b.next()) {
        QTextCursor c(b);
        if (QTextTable* t = c.currentTable())
            tables.insert(t);
    }
    p->setPen(QPen(QColor(130, 130, 130), 0, Qt::DotLine));
    for (QTextTable* t : tables) {
        const QRectF tr = layout->frameBoundingRect(t);
        if (!tr.intersects(clip))
            continue;
        const QTextTableFormat tf = t->format();
        const double pad = tf.cellPadding() + tf.border();
        std::vector<double> xs, ys;
        for (int col = 0; col < t->columns(); ++col) {
            const QTextTableCell cell = t->cellAt(0, col);
            if (cell.column() == col)
                xs.push_back(layout->blockBoundingRect(cell.firstCursorPosition().block()).left() - pad);
        }
        for (int row = 0; row < t->rows(); ++row) {
            double top = tr.bottom();
            for (int col = 0; col < t->columns(); ++col) {
                const QTextTableCell cell = t->cellAt(row, col);
                if (cell.row() == row)
                    top = std::min(top, layout->blockBoundingRect(cell.firstCursorPosition().block()).top() - pad);
            }
            ys.push_back(top);
        }
        p->drawRect(tr.adjusted(tf.margin(), tf.margin(), -tf.margin(), -tf.margin()));
        for (double x : xs)
            p->drawLine(QPointF(x, tr.top()), QPointF(x, tr.bottom()));
        for (double y : ys)
            p->drawLine(QPointF(tr.left(), y), QPointF(tr.right(), y));
    }
}

void TTextControl::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor(128, 128, 128));
    const double z = m_zoom / 100.0;
    p.translate(viewOrigin());
    p.scale(z, z);
    p.setRenderHint(QPainter::Antialiasing, false);
    const PageGeometry g = geometry();
    const QRectF visible = QRectF(-viewOrigin() / z, QSizeF(viewport()->size()) / z);
    const int pages = std::max(1, m_doc->body()->pageCount());
    for (int i = 0; i < pages; ++i) {
        const double top = pageTopInView(i);
        if (top > visible.bottom() || top + g.pageH < visible.top())
            continue;
        p.save();
        p.translate(viewGap(), top);
        drawPage(&p, i, false, visible.translated(-viewGap(), -top));
        p.restore();
    }
}

void TTextControl::PrintOnePage(int page)
{
    QPainter* p = m_printDevice;
    if (!p || !p->isActive())
        throw Error(QStringLiteral("Nessun dispositivo di stampa."));
    const int pages = CurrentPages();
    if (page < 1 || page > pages)
        throw Error(QStringLiteral("La pagina %1 non esiste.").arg(page));
    QPaintDevice* dev = p->device();
    const double scale = dev->logicalDpiX() / 96.0 * m_printZoom / 100.0;
    p->save();
    if (auto* printer = dynamic_cast<QPrinter*>(dev); printer && !printer->fullPage())
        p->translate(-printer->pageRect(QPrinter::DevicePixel).topLeft());
    p->scale(scale, scale);
    drawPage(p, page - 1, true, QRectF());
    p->restore();
}

int TTextControl::CurrentPages()
{
    return std::max(1, m_doc->body()->pageCount());
}

// ---------------------------------------------------------------- properties

TButtonBar* TTextControl::ButtonBarHandle() const { return m_bar; }
TRuler* TTextControl::RulerHandle() const { return m_ruler; }

void TTextControl::setButtonBarHandle(TButtonBar* bar)
{
    if (m_bar == bar)
        return;
    if (m_bar)
        m_bar->disconnect(this);
    m_bar = bar;
    if (!bar)
        return;
    connect(bar, &TButtonBar::charFormatChosen, this, [this](const QTextCharFormat& f) { mergeCharFormat(f); });
    connect(bar, &TButtonBar::alignmentChosen, this, [this](Qt::Alignment a) {
        QTextBlockFormat f;
        f.setAlignment(a);
        mergeBlockFormat(f);
    });
    syncBarAndRuler();
}

void TTextControl::setRulerHandle(TRuler* ruler)
{
    if (m_ruler == ruler)
        return;
    if (m_ruler)
        m_ruler->disconnect(this);
    m_ruler = ruler;
    if (!ruler)
        return;
    connect(ruler, &TRuler::indentsChanged, this, [this](double left, double first, double right) {
        QTextBlockFormat f;
        f.setLeftMargin(left);
        f.setTextIndent(first);
        f.setRightMargin(right);
        mergeBlockFormat(f);
    });
    syncBarAndRuler();
}

void TTextControl::syncBarAndRuler()
{
    if (m_bar)
        m_bar->showFormat(m_cursor.charFormat(), m_cursor.blockFormat(), !readOnly());
    if (m_ruler) {
        const PageGeometry g = geometry();
        const double z = m_zoom / 100.0;
        const QPointF origin = viewOrigin() + QPointF(viewGap() * z, 0);
        const QPoint atRuler = m_ruler->mapFromGlobal(viewport()->mapToGlobal(origin.toPoint()));
        const QTextBlockFormat bf = m_cursor.blockFormat();
        m_ruler->setState({double(atRuler.x()), z, g.pageW, g.left, g.pageW - g.left - g.contentW, bf.leftMargin(),
                           bf.textIndent(), bf.rightMargin(), !readOnly()});
    }
}

void TTextControl::setZoomFactor(int percent)
{
    percent = std::clamp(percent, 10, 400);
    if (percent == m_zoom)
        return;
    m_zoom = percent;
    updateScrollBars();
    viewport()->update();
    syncBarAndRuler();
}

void TTextControl::setPrintZoom(int percent) { m_printZoom = std::clamp(percent, 10, 400); }

void TTextControl::setEditMode(int mode)
{
    m_editMode = mode;
    viewport()->setCursor(mode == 0 ? Qt::IBeamCursor : Qt::ArrowCursor);
    syncBarAndRuler();
}

void TTextControl::setTableGridLines(bool on)
{
    m_gridLines = on;
    viewport()->update();
}

void TTextControl::setPageWidth(int v) { m_doc->page.width = v; relayout(); }
void TTextControl::setPageHeight(int v) { m_doc->page.height = v; relayout(); }
void TTextControl::setPageMarginL(int v) { m_doc->page.marginLeft = v; relayout(); }
void TTextControl::setPageMarginT(int v) { m_doc->page.marginTop = v; relayout(); }
void TTextControl::setPageMarginR(int v) { m_doc->page.marginRight = v; relayout(); }
void TTextControl::setPageMarginB(int v) { m_doc->page.marginBottom = v; relayout(); }

int TTextControl::SelStart() const { return m_cursor.selectionStart(); }
int TTextControl::SelLength() const { return m_cursor.selectionEnd() - m_cursor.selectionStart(); }
QString TTextControl::SelText() const
{
    QString t = m_cursor.selectedText();
    t.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return t;
}

void TTextControl::setSelStart(int pos)
{
    QTextCursor c = m_cursor;
    c.setPosition(std::clamp(pos, 0, activeDocument()->characterCount() - 1));
    setCursor(c);
}

void TTextControl::setSelLength(int length)
{
    const int last = activeDocument()->characterCount() - 1;
    const int start = m_cursor.selectionStart();
    QTextCursor c = m_cursor;
    c.setPosition(start);
    c.setPosition(length < 0 ? last : std::clamp(start + length, start, last), QTextCursor::KeepAnchor);
    setCursor(c);
}

void TTextControl::setSelText(const QString& text) { insertTyped(text); }

void TTextControl::setCursor(const QTextCursor& c)
{
    m_cursor = c;
    cursorChanged();
}

void TTextControl::cursorChanged()
{
    m_caretOn = true;
    if (hasFocus())
        m_blink.start();
    ensureCursorVisible();
    viewport()->update();
    syncBarAndRuler();
    emit cursorMoved();
}

QString TTextControl::ImageFilters() const
{
    return QStringLiteral("Immagini (*.png;*.jpg;*.jpeg;*.bmp;*.gif)|*.png;*.jpg;*.jpeg;*.bmp;*.gif"
                          "|PNG (*.png)|*.png|JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|Bitmap (*.bmp)|*.bmp|GIF (*.gif)|*.gif");
}

// ---------------------------------------------------------------- fields

const std::vector<TTextControl::FieldSpan>& TTextControl::fields()
{
    if (!m_fieldsDirty)
        return m_fields;
    m_fields.clear();
    forEachFragment(activeDocument(), [&](const QTextFragment& fr) {
        const QTextCharFormat f = fr.charFormat();
        const int id = f.intProperty(FieldId);
        if (id <= 0)
            return;
        if (!m_fields.empty() && m_fields.back().id == id && m_fields.back().end == fr.position()) {
            m_fields.back().end = fr.position() + fr.length();
            return;
        }
        m_fields.push_back({id, fr.position(), fr.position() + fr.length(), f});
    });
    m_fieldsDirty = false;
    return m_fields;
}

const TTextControl::FieldSpan* TTextControl::findField(int id)
{
    if (id <= 0)
        return nullptr;
    for (const FieldSpan& s : fields())
        if (s.id == id)
            return &s;
    return nullptr;
}

const TTextControl::FieldSpan* TTextControl::currentField()
{
    const FieldSpan* s = findField(m_fieldCurrent);
    if (!s)
        throw Error(QStringLiteral("Nessun campo corrente."));
    return s;
}

int TTextControl::fieldIdAt(int pos) const
{
    QTextDocument* d = activeDocument();
    if (pos < 0 || pos >= d->characterCount() - 1)
        return 0;
    const QChar ch = d->characterAt(pos);
    if (ch == QChar::ParagraphSeparator || ch == QChar(QChar::LineSeparator) || ch == QChar(0xfdd0) || ch == QChar(0xfdd1))
        return 0;
    QTextCursor c(d);
    c.setPosition(pos);
    if (c.atBlockEnd())
        return 0;
    c.setPosition(pos + 1);
    return c.charFormat().intProperty(FieldId);
}

int TTextControl::nextFreeFieldId()
{
    int maxId = 0;
    for (QTextDocument* d : {m_doc->body(), m_doc->footer()})
        forEachFragment(d, [&](const QTextFragment& fr) { maxId = std::max(maxId, fr.charFormat().intProperty(FieldId)); });
    return maxId + 1;
}

int TTextControl::NextFieldId(int id, int)
{
    const auto& list = fields();
    if (list.empty())
        return 0;
    if (id <= 0)
        return list.front().id;
    for (size_t i = 0; i + 1 < list.size(); ++i)
        if (list[i].id == id)
            return list[i + 1].id == id ? 0 : list[i + 1].id; // never a cycle
    return 0;
}

// A file may give two separate runs the same field id; every run gets an id
// of its own, so that walking the fields by id always ends.
void TTextControl::makeFieldIdsUnique(doc::TxDocument& d)
{
    std::set<int> seen;
    int next = 1;
    for (QTextDocument* part : {d.body(), d.footer()})
        forEachFragment(part, [&](const QTextFragment& fr) { next = std::max(next, fr.charFormat().intProperty(FieldId) + 1); });
    for (QTextDocument* part : {d.body(), d.footer()}) {
        struct Change { int start, end, id; };
        std::vector<Change> changes;
        int lastId = 0, lastEnd = -1, lastNew = 0;
        forEachFragment(part, [&](const QTextFragment& fr) {
            const int id = fr.charFormat().intProperty(FieldId);
            if (id <= 0) {
                lastId = 0;
                return;
            }
            if (id == lastId && fr.position() == lastEnd) { // the same run goes on
                if (lastNew)
                    changes.push_back({fr.position(), fr.position() + fr.length(), lastNew});
                lastEnd = fr.position() + fr.length();
                return;
            }
            lastId = id;
            lastEnd = fr.position() + fr.length();
            lastNew = seen.insert(id).second ? 0 : next++;
            if (lastNew)
                changes.push_back({fr.position(), lastEnd, lastNew});
        });
        for (const Change& c : changes) {
            QTextCursor cur(part);
            cur.setPosition(c.start);
            cur.setPosition(c.end, QTextCursor::KeepAnchor);
            QTextCharFormat f;
            f.setProperty(FieldId, c.id);
            cur.mergeCharFormat(f);
        }
        part->clearUndoRedoStacks();
    }
}

void TTextControl::setFieldProperty(int id, int property, const QVariant& value)
{
    const FieldSpan* s = findField(id);
    if (!s)
        throw Error(QStringLiteral("Il campo %1 non esiste.").arg(id));
    const int start = s->start, end = s->end;
    silently([&] {
        QTextCursor c(activeDocument());
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setProperty(property, value);
        c.mergeCharFormat(f);
    });
}

QString TTextControl::FieldTag(int id)
{
    const FieldSpan* s = findField(id);
    return s ? s->format.stringProperty(FieldData) : QString();
}

void TTextControl::setFieldTag(int id, const QString& data) { setFieldProperty(id, FieldData, data); }

int TTextControl::FieldKindCode(int id)
{
    const FieldSpan* s = findField(id);
    return s ? s->format.intProperty(FieldKind) : 0;
}

void TTextControl::setFieldKindCode(int id, int kind) { setFieldProperty(id, FieldKind, kind); }

void TTextControl::setFieldCurrent(int id)
{
    if (!findField(id))
        throw Error(QStringLiteral("Il campo %1 non esiste.").arg(id));
    m_fieldCurrent = id;
}

bool TTextControl::FieldChangeable() { return currentField()->format.boolProperty(doc::FieldChangeable); }
void TTextControl::setFieldChangeable(bool on) { setFieldProperty(currentField()->id, doc::FieldChangeable, on); }
bool TTextControl::FieldDeleteable() { return currentField()->format.boolProperty(FieldDeletable); }
void TTextControl::setFieldDeleteable(bool on) { setFieldProperty(currentField()->id, FieldDeletable, on); }

QString TTextControl::FieldText()
{
    const FieldSpan* s = currentField();
    QTextCursor c(activeDocument());
    c.setPosition(s->start);
    c.setPosition(s->end, QTextCursor::KeepAnchor);
    return c.selectedText();
}

void TTextControl::setFieldText(const QString& text)
{
    const FieldSpan s = *currentField();
    if (text.isEmpty())
        throw Error(QStringLiteral("Il testo di un campo non può essere vuoto."));
    QString clean = text;
    clean.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const int caret = m_cursor.position(), anchor = m_cursor.anchor();
    silently([&] {
        QTextCursor c(activeDocument());
        c.setPosition(s.start);
        c.setPosition(s.end, QTextCursor::KeepAnchor);
        c.insertText(clean, s.format);
    });
    // Keep the caret where it was relative to the text around the field.
    const int delta = int(clean.size()) - (s.end - s.start);
    auto shift = [&](int p) { return p >= s.end ? p + delta : (p > s.start ? s.start : p); };
    QTextCursor c(activeDocument());
    c.setPosition(std::min(shift(anchor), activeDocument()->characterCount() - 1));
    c.setPosition(std::min(shift(caret), activeDocument()->characterCount() - 1), QTextCursor::KeepAnchor);
    m_cursor = c;
    viewport()->update();
}

int TTextControl::FieldStart() { return currentField()->start + 1; }
int TTextControl::FieldEnd() { return currentField()->end; }

int TTextControl::FieldAtInputPos() { return fieldIdAt(m_cursor.position() - 1); }

void TTextControl::InsertFieldWithText(const QString& text)
{
    if (text.isEmpty())
        throw Error(QStringLiteral("Il testo di un campo non può essere vuoto."));
    QTextCursor c = m_cursor;
    c.clearSelection();
    QTextCharFormat base;
    bool inside = false;
    if (!insertionFieldFormat(c.position(), &base, &inside) || inside)
        throw Error(QStringLiteral("Un campo non può essere inserito all'interno di un campo."));
    const int id = nextFreeFieldId();
    QTextCharFormat f = base;
    f.setProperty(FieldId, id);
    f.setProperty(FieldData, QString());
    f.setProperty(FieldKind, 0);
    f.setProperty(doc::FieldChangeable, true);
    f.setProperty(FieldDeletable, true);
    c.insertText(text, f);
    m_fieldsDirty = true;
    m_fieldCurrent = id;
    setCursor(c);
    emit OnFieldCreated(id);
}

void TTextControl::DeleteCurrentField(bool withText)
{
    const FieldSpan s = *currentField();
    QTextCursor c(activeDocument());
    c.setPosition(s.start);
    c.setPosition(s.end, QTextCursor::KeepAnchor);
    if (withText) {
        c.removeSelectedText();
    } else {
        c.setCharFormat(withoutField(s.format));
    }
    m_fieldsDirty = true;
    m_fieldCurrent = 0;
    if (m_cursor.position() > activeDocument()->characterCount() - 1)
        m_cursor.setPosition(activeDocument()->characterCount() - 1);
    cursorChanged();
    emit OnFieldDeleted(s.id);
}

// ---------------------------------------------------------------- field rules

// A field is changed as a whole only when deletable, in part only when changeable.
bool TTextControl::canRemove(int from, int to)
{
    for (const FieldSpan& s : fields()) {
        if (s.end <= from || s.start >= to)
            continue;
        const bool whole = from <= s.start && s.end <= to;
        const int property = whole ? FieldDeletable : doc::FieldChangeable;
        if (!s.format.boolProperty(property))
            return false;
    }
    return true;
}

// The format for text inserted at pos: inside a field (its characters on both
// sides) the field's own, which needs a changeable field; elsewhere the format
// of the text before without any field property, so that typing next to a
// field never extends it.
bool TTextControl::insertionFieldFormat(int pos, QTextCharFormat* format, bool* insideField)
{
    const int before = fieldIdAt(pos - 1);
    const int after = fieldIdAt(pos);
    *insideField = before > 0 && before == after;
    if (*insideField) {
        const FieldSpan* s = findField(before);
        if (!s || !s->format.boolProperty(doc::FieldChangeable))
            return false;
        QTextCursor c(activeDocument());
        c.setPosition(pos);
        *format = c.charFormat();
        return true;
    }
    QTextCursor c(activeDocument());
    c.setPosition(pos);
    *format = withoutField(c.charFormat());
    return true;
}

void TTextControl::removeRange(QTextCursor& c)
{
    const int from = c.selectionStart(), to = c.selectionEnd();
    std::vector<int> gone;
    for (const FieldSpan& s : fields())
        if (from <= s.start && s.end <= to)
            gone.push_back(s.id);
    const bool objects = c.selectedText().contains(QChar::ObjectReplacementCharacter);
    c.removeSelectedText();
    m_fieldsDirty = true;
    for (int id : gone) {
        if (id == m_fieldCurrent)
            m_fieldCurrent = 0;
        emit OnFieldDeleted(id);
    }
    if (objects)
        emit OnObjectDeleted();
}

bool TTextControl::deleteSelectionChecked()
{
    if (!m_cursor.hasSelection())
        return true;
    if (!canRemove(m_cursor.selectionStart(), m_cursor.selectionEnd()))
        return false;
    QTextCursor c = m_cursor;
    removeRange(c);
    setCursor(c);
    return true;
}

void TTextControl::insertTyped(const QString& text)
{
    if (readOnly())
        return;
    QTextCursor c = m_cursor;
    const int from = c.selectionStart(), to = c.selectionEnd();
    if (c.hasSelection() && !canRemove(from, to))
        return;
    // Inside a field the selection's two ends must lie in the same field.
    const int before = fieldIdAt(from - 1), after = fieldIdAt(to);
    QTextCharFormat f;
    bool inside = false;
    if (before > 0 && before == after) {
        const FieldSpan* s = findField(before);
        if (!s || !s->format.boolProperty(doc::FieldChangeable))
            return;
        f = s->format;
        inside = true;
    } else if (!c.hasSelection()) {
        // The caret's own format: it holds what the button bar chose for the next text.
        f = withoutField(c.charFormat());
    } else {
        QTextCursor t(activeDocument());
        t.setPosition(from);
        f = withoutField(t.charFormat());
    }
    QString t = text;
    if (inside)
        t.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QChar::ParagraphSeparator, QLatin1Char(' '));
    c.beginEditBlock();
    if (c.hasSelection())
        removeRange(c);
    c.insertText(t, f);
    c.endEditBlock();
    m_fieldsDirty = true;
    setCursor(c);
}

void TTextControl::deleteChar(bool backwards)
{
    if (readOnly())
        return;
    if (m_cursor.hasSelection()) {
        deleteSelectionChecked();
        return;
    }
    QTextCursor c = m_cursor;
    c.movePosition(backwards ? QTextCursor::PreviousCharacter : QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    if (!c.hasSelection())
        return;
    const int lo = c.selectionStart(), hi = c.selectionEnd();
    // Never join across a table cell's edge: that would clear whole cells.
    QTextCursor a(activeDocument()), b(activeDocument());
    a.setPosition(lo);
    b.setPosition(hi);
    QTextTable* ta = a.currentTable();
    if (ta != b.currentTable() || (ta && ta->cellAt(lo) != ta->cellAt(hi)))
        return;
    if (!canRemove(lo, hi))
        return;
    c.beginEditBlock();
    removeRange(c);
    c.endEditBlock();
    setCursor(c);
}

void TTextControl::insertBlockChecked()
{
    if (readOnly())
        return;
    const int from = m_cursor.selectionStart(), to = m_cursor.selectionEnd();
    const int before = fieldIdAt(from - 1), after = fieldIdAt(to);
    if (before > 0 && before == after)
        return; // a field never spans paragraphs
    if (m_cursor.hasSelection() && !canRemove(from, to))
        return;
    QTextCursor c = m_cursor;
    c.beginEditBlock();
    if (c.hasSelection())
        removeRange(c);
    QTextCursor t(activeDocument());
    t.setPosition(c.position());
    c.insertBlock(c.blockFormat(), withoutField(t.charFormat()));
    c.endEditBlock();
    setCursor(c);
}

// ---------------------------------------------------------------- formatting

void TTextControl::mergeCharFormat(const QTextCharFormat& format)
{
    if (readOnly())
        return;
    // Without a selection this sets the format of the text typed next.
    m_cursor.mergeCharFormat(withoutField(format));
    cursorChanged();
}

void TTextControl::mergeBlockFormat(const QTextBlockFormat& format)
{
    if (readOnly())
        return;
    m_cursor.mergeBlockFormat(format);
    cursorChanged();
}

void TTextControl::ShowParagraphDialog()
{
    if (readOnly())
        return;
    QTextBlockFormat f = m_cursor.blockFormat();
    if (TxParagraphDialog::edit(this, f))
        mergeBlockFormat(f);
}

void TTextControl::ShowTableFormatDialog()
{
    if (readOnly())
        return;
    QTextTable* table = m_cursor.currentTable();
    if (!table)
        throw Error(QStringLiteral("Il cursore non si trova in una tabella."));
    QTextTableFormat f = table->format();
    if (TxTableFormatDialog::edit(this, table->columns(), geometry().contentW, f)) {
        table->setFormat(f);
        viewport()->update();
    }
}

// ---------------------------------------------------------------- objects

void TTextControl::InsertTableAt(int rows, int columns, int pos, int id)
{
    if (readOnly())
        return;
    if (rows < 1 || rows > 1000 || columns < 1 || columns > 64)
        throw Error(QStringLiteral("Una tabella non può avere %1 righe e %2 colonne.").arg(rows).arg(columns));
    QTextCursor c = m_cursor;
    if (pos >= 0)
        c.setPosition(std::min(pos, activeDocument()->characterCount() - 1));
    c.clearSelection();
    QTextCharFormat base;
    bool inside = false;
    if (!insertionFieldFormat(c.position(), &base, &inside) || inside)
        throw Error(QStringLiteral("Una tabella non può essere inserita all'interno di un campo."));
    int newId = id;
    emit OnTableCreated(id, newId);
    QTextTableFormat f;
    f.setBorder(1);
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBorderBrush(Qt::black);
    f.setBorderCollapse(true);
    f.setCellPadding(3);
    f.setCellSpacing(0);
    f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> widths;
    for (int i = 0; i < columns; ++i)
        widths << QTextLength(QTextLength::PercentageLength, 100.0 / columns);
    f.setColumnWidthConstraints(widths);
    f.setProperty(TableIdProperty, newId);
    c.beginEditBlock();
    c.setCharFormat(base);
    QTextTable* table = c.insertTable(rows, columns, f);
    c.endEditBlock();
    setCursor(table->cellAt(0, 0).firstCursorPosition());
}

void TTextControl::InsertImageFile(int, const QString& fileName, int pos, int scaleX, int scaleY, int, int, int)
{
    if (readOnly())
        return;
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        throw Error(QStringLiteral("L'immagine non può essere letta: %1").arg(reader.errorString()));
    QTextCursor c = m_cursor;
    if (pos >= 0)
        c.setPosition(std::min(pos, activeDocument()->characterCount() - 1));
    QTextCharFormat base;
    bool inside = false;
    if (c.hasSelection() && !canRemove(c.selectionStart(), c.selectionEnd()))
        throw Error(QStringLiteral("Il testo selezionato è protetto."));
    if (!insertionFieldFormat(c.selectionStart(), &base, &inside) || inside)
        throw Error(QStringLiteral("Un'immagine non può essere inserita all'interno di un campo."));
    // Natural size from the picture's own resolution, at the given scale.
    auto inches = [](int pixels, int dpm) { return pixels / (dpm > 0 ? dpm * 0.0254 : 96.0); };
    double w = inches(image.width(), image.dotsPerMeterX()) * 96 * std::max(1, scaleX) / 100.0;
    double h = inches(image.height(), image.dotsPerMeterY()) * 96 * std::max(1, scaleY) / 100.0;
    const double maxW = geometry().contentW, maxH = geometry().contentH;
    const double k = std::min({1.0, maxW / w, maxH / h});
    QTextDocument* d = activeDocument();
    // The document keeps PNG and JPEG as read; other pictures as PNG.
    QByteArray bytes;
    const QByteArray kind = QImageReader::imageFormat(fileName);
    if (kind == "png" || kind == "jpeg") {
        QFile f(fileName);
        if (f.open(QIODevice::ReadOnly))
            bytes = f.readAll();
    }
    if (bytes.isEmpty()) {
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        image.save(&buf, "PNG");
    }
    const QString name = doc::addImage(*d, bytes);
    QTextImageFormat f;
    f.merge(base);
    f.setName(name);
    f.setWidth(w * k);
    f.setHeight(h * k);
    c.beginEditBlock();
    if (c.hasSelection())
        removeRange(c);
    c.insertImage(f);
    c.endEditBlock();
    setCursor(c);
}

// ---------------------------------------------------------------- footer

void TTextControl::ActivateHeaderFooterPart(int part)
{
    const bool footer = part == 4;
    if (footer == m_footerActive)
        return;
    if (footer) {
        // The footer is edited on the page the caret is on.
        const QRectF caret = caretRectInView();
        const double step = geometry().pageH + viewGap();
        m_footerPage = std::clamp(int(std::floor((caret.top() - viewGap()) / step)), 0, CurrentPages() - 1);
        m_bodyCursor = m_cursor;
        m_footerActive = true;
        m_cursor = QTextCursor(m_doc->footer());
        m_headerFooter |= 4;
    } else {
        m_footerActive = false;
        m_cursor = m_bodyCursor.isNull() ? QTextCursor(m_doc->body()) : m_bodyCursor;
        relayout(); // the footer's height may have changed
    }
    m_fieldsDirty = true;
    m_fieldCurrent = 0;
    cursorChanged();
}

// ---------------------------------------------------------------- files

void TTextControl::LoadDocument(const QString& fileName, qint64 offset, int format, bool)
{
    // Read into a new document first: a failed load leaves the shown one as it was.
    auto fresh = std::make_unique<doc::TxDocument>();
    fresh->page = m_doc->page;
    const doc::PageSetup found = doc::loadFile(*fresh, fileName, offset, doc::Format(format));
    fresh->page = m_doc->page;
    makeFieldIdsUnique(*fresh);
    m_attributes = found;
    if (m_footerActive)
        ActivateHeaderFooterPart(0);
    m_doc = std::move(fresh);
    connectDocument(m_doc->body());
    connectDocument(m_doc->footer());
    m_headerFooter = m_doc->footer()->isEmpty() ? 0 : 4;
    m_cursor = QTextCursor(m_doc->body());
    m_bodyCursor = QTextCursor();
    m_fieldsDirty = true;
    m_fieldCurrent = 0;
    relayout();
    verticalScrollBar()->setValue(0);
    cursorChanged();
}

void TTextControl::SaveDocument(const QString& fileName, qint64 offset, int format, bool)
{
    // Formats other than our own carry the page through the attributes.
    const doc::PageSetup shown = m_doc->page;
    if (format != doc::OwnFormat) {
        // An attribute nobody set takes the page's own value.
        const auto pick = [](int wanted, int current) { return wanted > 0 ? wanted : current; };
        const doc::PageSetup& a = m_attributes;
        m_doc->page = {pick(a.width, shown.width), pick(a.height, shown.height), pick(a.marginLeft, shown.marginLeft),
                       pick(a.marginTop, shown.marginTop), pick(a.marginRight, shown.marginRight), pick(a.marginBottom, shown.marginBottom)};
    }
    try {
        doc::saveFile(*m_doc, fileName, offset, doc::Format(format));
    } catch (...) {
        m_doc->page = shown;
        throw;
    }
    m_doc->page = shown;
}

int TTextControl::DocumentAttribute(int index) const
{
    const auto& a = m_attributes;
    const int values[] = {a.width, a.height, a.marginLeft, a.marginTop, a.marginRight, a.marginBottom};
    return index >= 0 && index < 6 ? values[index] : 0;
}

void TTextControl::setDocumentAttribute(int index, int value)
{
    auto& a = m_attributes;
    int* values[] = {&a.width, &a.height, &a.marginLeft, &a.marginTop, &a.marginRight, &a.marginBottom};
    if (index >= 0 && index < 6)
        *values[index] = value;
}

// ---------------------------------------------------------------- clipboard

QMimeData* TTextControl::createMimeData() const
{
    auto* md = new QMimeData;
    const QTextDocumentFragment frag = m_cursor.selection();
    md->setText(frag.toPlainText());
    md->setHtml(frag.toHtml());
    doc::TxDocument tmp;
    QTextCursor(tmp.body()).insertFragment(frag);
    // Pictures live in the document's resources: carry them along.
    forEachFragment(tmp.body(), [&](const QTextFragment& fr) {
        if (fr.charFormat().isImageFormat()) {
            const QString name = fr.charFormat().toImageFormat().name();
            tmp.body()->addResource(QTextDocument::ImageResource, QUrl(name),
                                    activeDocument()->resource(QTextDocument::ImageResource, QUrl(name)));
        }
    });
    try {
        md->setData(QString::fromLatin1(kFragmentMimeType), doc::save(tmp, doc::OwnFormat));
    } catch (const std::exception&) {
        // Text and HTML still go out.
    }
    return md;
}

void TTextControl::insertFromMimeData(const QMimeData* md)
{
    if (readOnly() || !md)
        return;
    const QString own = QString::fromLatin1(kFragmentMimeType);
    const int from = m_cursor.selectionStart(), to = m_cursor.selectionEnd();
    const int before = fieldIdAt(from - 1), after = fieldIdAt(to);
    const bool inField = before > 0 && before == after;
    if (inField || (!md->hasFormat(own) && !md->hasHtml())) {
        // Inside a field only text may go in, as the field's own text.
        if (md->hasText())
            insertTyped(md->text());
        return;
    }
    if (m_cursor.hasSelection() && !canRemove(from, to))
        return;

    doc::TxDocument tmp;
    bool loaded = false;
    if (md->hasFormat(own)) {
        try {
            doc::load(tmp, md->data(own), doc::OwnFormat);
            loaded = true;
        } catch (const std::exception&) {
        }
    }
    if (!loaded) {
        tmp.body()->clear();
        QTextCursor(tmp.body()).insertFragment(QTextDocumentFragment::fromHtml(md->html()));
    }
    // New ids for pasted fields and new names for pasted pictures, so that
    // nothing collides with what the document already holds.
    QTextDocument* target = activeDocument();
    int nextId = nextFreeFieldId();
    std::map<int, int> ids;
    std::map<QString, QString> names;
    struct Change { int start, end; QTextCharFormat format; };
    std::vector<Change> changes;
    forEachFragment(tmp.body(), [&](const QTextFragment& fr) {
        QTextCharFormat f = fr.charFormat();
        bool changed = false;
        const int id = f.intProperty(FieldId);
        if (id > 0) {
            if (!loaded) {
                f = withoutField(f);
            } else {
                auto [it, fresh] = ids.emplace(id, 0);
                if (fresh)
                    it->second = nextId++;
                f.setProperty(FieldId, it->second);
            }
            changed = true;
        }
        if (f.isImageFormat()) {
            QTextImageFormat img = f.toImageFormat();
            const QString name = img.name();
            auto [it, fresh] = names.emplace(name, QString());
            if (fresh) {
                const QByteArray data = doc::imageBytes(*tmp.body(), name);
                it->second = name;
                if (!data.isEmpty()) {
                    try {
                        it->second = doc::addImage(*target, data);
                    } catch (const std::exception&) {
                    }
                }
            }
            img.setName(it->second);
            f = img;
            changed = true;
        }
        if (changed)
            changes.push_back({fr.position(), fr.position() + fr.length(), f});
    });
    for (const Change& ch : changes) {
        QTextCursor c(tmp.body());
        c.setPosition(ch.start);
        c.setPosition(ch.end, QTextCursor::KeepAnchor);
        c.setCharFormat(ch.format);
    }
    QTextCursor all(tmp.body());
    all.select(QTextCursor::Document);
    const QTextDocumentFragment frag = all.selection();

    QTextCursor c = m_cursor;
    c.beginEditBlock();
    if (c.hasSelection())
        removeRange(c);
    c.insertFragment(frag);
    c.endEditBlock();
    m_fieldsDirty = true;
    setCursor(c);
    std::vector<int> created;
    for (auto& [oldId, newId] : ids)
        created.push_back(newId);
    std::sort(created.begin(), created.end());
    for (int id : created)
        emit OnFieldCreated(id);
}

void TTextControl::ClipboardAction(int action)
{
    QClipboard* cb = QGuiApplication::clipboard();
    switch (action) {
    case 1:
        if (readOnly() || !m_cursor.hasSelection() || !canRemove(m_cursor.selectionStart(), m_cursor.selectionEnd()))
            return;
        cb->setMimeData(createMimeData());
        deleteSelectionChecked();
        break;
    case 2:
        if (m_cursor.hasSelection())
            cb->setMimeData(createMimeData());
        break;
    case 3:
        insertFromMimeData(cb->mimeData());
        break;
    default:
        break;
    }
}

bool TTextControl::FindText(const QString& text, int start, int)
{
    if (text.isEmpty())
        return false;
    QTextDocument* d = activeDocument();
    const int from = start >= 0 ? start : m_cursor.selectionEnd();
    QTextCursor found = d->find(text, from);
    if (found.isNull() && from > 0)
        found = d->find(text, 0);
    if (found.isNull())
        return false;
    setCursor(found);
    return true;
}

// ---------------------------------------------------------------- events

void TTextControl::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
    syncBarAndRuler();
}

void TTextControl::scrollContentsBy(int, int)
{
    viewport()->update();
    syncBarAndRuler();
}

bool TTextControl::focusNextPrevChild(bool) { return false; }

void TTextControl::focusInEvent(QFocusEvent* e)
{
    m_caretOn = true;
    m_blink.start();
    viewport()->update();
    QAbstractScrollArea::focusInEvent(e);
}

void TTextControl::focusOutEvent(QFocusEvent* e)
{
    m_blink.stop();
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(e);
}

void TTextControl::keyPressEvent(QKeyEvent* e)
{
    struct Move {
        QKeySequence::StandardKey key;
        QTextCursor::MoveOperation op;
        QTextCursor::MoveMode mode;
    };
    static const Move moves[] = {
        {QKeySequence::MoveToNextChar, QTextCursor::Right, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousChar, QTextCursor::Left, QTextCursor::MoveAnchor},
        {QKeySequence::SelectNextChar, QTextCursor::Right, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousChar, QTextCursor::Left, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToNextWord, QTextCursor::WordRight, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousWord, QTextCursor::WordLeft, QTextCursor::MoveAnchor},
        {QKeySequence::SelectNextWord, QTextCursor::WordRight, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousWord, QTextCursor::WordLeft, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToNextLine, QTextCursor::Down, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToPreviousLine, QTextCursor::Up, QTextCursor::MoveAnchor},
        {QKeySequence::SelectNextLine, QTextCursor::Down, QTextCursor::KeepAnchor},
        {QKeySequence::SelectPreviousLine, QTextCursor::Up, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToStartOfLine, QTextCursor::StartOfLine, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToEndOfLine, QTextCursor::EndOfLine, QTextCursor::MoveAnchor},
        {QKeySequence::SelectStartOfLine, QTextCursor::StartOfLine, QTextCursor::KeepAnchor},
        {QKeySequence::SelectEndOfLine, QTextCursor::EndOfLine, QTextCursor::KeepAnchor},
        {QKeySequence::MoveToStartOfDocument, QTextCursor::Start, QTextCursor::MoveAnchor},
        {QKeySequence::MoveToEndOfDocument, QTextCursor::End, QTextCursor::MoveAnchor},
        {QKeySequence::SelectStartOfDocument, QTextCursor::Start, QTextCursor::KeepAnchor},
        {QKeySequence::SelectEndOfDocument, QTextCursor::End, QTextCursor::KeepAnchor},
    };
    for (const Move& m : moves) {
        if (e->matches(m.key)) {
            QTextCursor c = m_cursor;
            c.movePosition(m.op, m.mode);
            setCursor(c);
            return;
        }
    }
    if (e->matches(QKeySequence::MoveToNextPage) || e->matches(QKeySequence::MoveToPreviousPage)
        || e->matches(QKeySequence::SelectNextPage) || e->matches(QKeySequence::SelectPreviousPage)) {
        const bool down = e->matches(QKeySequence::MoveToNextPage) || e->matches(QKeySequence::SelectNextPage);
        const bool select = e->matches(QKeySequence::SelectNextPage) || e->matches(QKeySequence::SelectPreviousPage);
        const double step = viewport()->height() * 100.0 / m_zoom * (down ? 1 : -1);
        const QRectF r = caretRectInView();
        const double z = m_zoom / 100.0;
        const QPointF target = (r.center() + QPointF(0, step)) * z + viewOrigin();
        QTextCursor c = m_cursor;
        c.setPosition(hitTest(target), select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        setCursor(c);
        return;
    }
    if (e->matches(QKeySequence::SelectAll)) {
        QTextCursor c = m_cursor;
        c.select(QTextCursor::Document);
        setCursor(c);
        return;
    }
    if (e->matches(QKeySequence::Copy)) {
        ClipboardAction(2);
        return;
    }
    if (e->matches(QKeySequence::Cut)) {
        ClipboardAction(1);
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        ClipboardAction(3);
        return;
    }
    if (readOnly()) {
        e->ignore();
        return;
    }
    if (e->matches(QKeySequence::Undo)) {
        activeDocument()->undo(&m_cursor);
        cursorChanged();
        return;
    }
    if (e->matches(QKeySequence::Redo)) {
        activeDocument()->redo(&m_cursor);
        cursorChanged();
        return;
    }

    int key = 0;
    if (e->key() == Qt::Key_Backspace)
        key = 8;
    else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        key = 13;
    else if (e->key() == Qt::Key_Tab)
        key = 9;
    else if (!e->text().isEmpty() && e->text().at(0).isPrint())
        key = e->text().at(0).unicode();

    if (key != 0) {
        const int original = key;
        emit OnKeyPress(key);
        if (key == 0)
            return; // swallowed by the owner
        key = original;
    }
    if (e->key() == Qt::Key_Delete) {
        deleteChar(false);
        return;
    }
    switch (key) {
    case 8:
        deleteChar(true);
        return;
    case 13:
        if (e->modifiers() & Qt::ShiftModifier)
            insertTyped(QString(QChar::LineSeparator));
        else
            insertBlockChecked();
        return;
    case 9:
        if (QTextTable* t = m_cursor.currentTable()) {
            const QTextTableCell cell = t->cellAt(m_cursor);
            int row = cell.row(), col = cell.column() + cell.columnSpan();
            if (col >= t->columns()) {
                col = 0;
                ++row;
            }
            if (row < t->rows())
                setCursor(t->cellAt(row, col).firstCursorPosition());
            return;
        }
        insertTyped(QStringLiteral("\t"));
        return;
    default:
        break;
    }
    if (key != 0) {
        insertTyped(e->text());
        return;
    }
    e->ignore();
}

void TTextControl::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    bool inFooter = false;
    const int pos = hitTest(e->position(), &inFooter);
    QTextCursor c = m_cursor;
    c.setPosition(pos, (e->modifiers() & Qt::ShiftModifier) ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    m_selecting = true;
    setCursor(c);
}

void TTextControl::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_selecting || !(e->buttons() & Qt::LeftButton))
        return;
    QTextCursor c = m_cursor;
    c.setPosition(hitTest(e->position()), QTextCursor::KeepAnchor);
    setCursor(c);
}

void TTextControl::mouseReleaseEvent(QMouseEvent*) { m_selecting = false; }

void TTextControl::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    bool inFooter = false;
    hitTest(e->position(), &inFooter);
    // A double click in the bottom margin edits the footer; one in the text
    // returns to the body.
    if (!readOnly() && inFooter != m_footerActive) {
        ActivateHeaderFooterPart(inFooter ? 4 : 0);
        if (inFooter) {
            const double step = geometry().pageH + viewGap();
            m_footerPage = std::clamp(int(std::floor((widgetToView(e->position()).y() - viewGap()) / step)), 0, CurrentPages() - 1);
        }
        QTextCursor c = m_cursor;
        c.setPosition(hitTest(e->position()));
        setCursor(c);
        return;
    }
    QTextCursor c = m_cursor;
    c.setPosition(hitTest(e->position()));
    c.select(QTextCursor::WordUnderCursor);
    setCursor(c);
}

void TTextControl::dragEnterEvent(QDragEnterEvent* e)
{
    if (!readOnly() && (e->mimeData()->hasText() || e->mimeData()->hasHtml()))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TTextControl::dragMoveEvent(QDragMoveEvent* e)
{
    if (readOnly()) {
        e->ignore();
        return;
    }
    QTextCursor c = m_cursor;
    c.setPosition(hitTest(e->position()));
    setCursor(c);
    e->acceptProposedAction();
}

void TTextControl::dropEvent(QDropEvent* e)
{
    if (readOnly()) {
        e->ignore();
        return;
    }
    QTextCursor c = m_cursor;
    c.setPosition(hitTest(e->position()));
    setCursor(c);
    insertFromMimeData(e->mimeData());
    e->setDropAction(Qt::CopyAction);
    e->accept();
}

} // namespace orv
