#include "editor/TButtonBar.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

static void initButtonBarResources() { Q_INIT_RESOURCE(editor); }

namespace orv {
namespace {

QIcon colorIcon(const QColor& c)
{
    QPixmap pm(22, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, 22, 16), Qt::AlignCenter, QStringLiteral("A"));
    p.fillRect(QRect(3, 17, 16, 4), c);
    return QIcon(pm);
}

} // namespace

TButtonBar::TButtonBar(QWidget* parent) : QWidget(parent)
{
    initButtonBarResources();
    setObjectName(QStringLiteral("bb1"));
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(4, 2, 4, 2);
    lay->setSpacing(2);

    m_font = new QFontComboBox(this);
    m_font->setObjectName(QStringLiteral("bbFont"));
    m_font->setToolTip(QStringLiteral("Carattere"));
    m_font->setMinimumWidth(180);
    lay->addWidget(m_font);
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("bbSize"));
    m_size->setToolTip(QStringLiteral("Dimensione"));
    m_size->setEditable(true);
    for (int s : {6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 28, 32, 36, 48, 72})
        m_size->addItem(QString::number(s));
    m_size->setMinimumContentsLength(3);
    lay->addWidget(m_size);
    lay->addSpacing(6);

    m_bold = toggle(QStringLiteral("bbBold"), QStringLiteral("format-text-bold"), QStringLiteral("Grassetto"));
    m_italic = toggle(QStringLiteral("bbItalic"), QStringLiteral("format-text-italic"), QStringLiteral("Corsivo"));
    m_underline = toggle(QStringLiteral("bbUnderline"), QStringLiteral("format-text-underline"), QStringLiteral("Sottolineato"));
    for (QToolButton* b : {m_bold, m_italic, m_underline})
        lay->addWidget(b);

    m_color = new QToolButton(this);
    m_color->setObjectName(QStringLiteral("bbColor"));
    m_color->setToolTip(QStringLiteral("Colore del testo"));
    m_color->setAutoRaise(true);
    m_color->setIcon(colorIcon(Qt::black));
    m_color->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(m_color);
    const std::pair<const char*, QColor> colors[] = {
        {"Nero", Qt::black}, {"Grigio", Qt::gray}, {"Rosso", Qt::red}, {"Rosso scuro", Qt::darkRed},
        {"Verde", Qt::darkGreen}, {"Blu", Qt::blue}, {"Blu scuro", Qt::darkBlue}, {"Arancio", QColor(230, 120, 0)},
        {"Viola", Qt::darkMagenta}, {"Ciano scuro", Qt::darkCyan},
    };
    for (const auto& [name, color] : colors) {
        QPixmap pm(14, 14);
        pm.fill(color);
        const QColor c = color;
        menu->addAction(QIcon(pm), QString::fromUtf8(name), this, [this, c] {
            m_color->setIcon(colorIcon(c));
            QTextCharFormat f;
            f.setForeground(c);
            emit charFormatChosen(f);
        });
    }
    m_color->setMenu(menu);
    lay->addWidget(m_color);
    lay->addSpacing(6);

    const std::tuple<const char*, const char*, const char*, Qt::Alignment> aligns[] = {
        {"bbLeft", "format-justify-left", "Allinea a sinistra", Qt::AlignLeft},
        {"bbCenter", "format-justify-center", "Centra", Qt::AlignHCenter},
        {"bbRight", "format-justify-right", "Allinea a destra", Qt::AlignRight},
        {"bbJustify", "format-justify-fill", "Giustifica", Qt::AlignJustify},
    };
    int i = 0;
    for (const auto& [name, icon, hint, a] : aligns) {
        QToolButton* b = toggle(QString::fromLatin1(name), QString::fromLatin1(icon), QString::fromUtf8(hint));
        const Qt::Alignment al = a;
        connect(b, &QToolButton::clicked, this, [this, al] {
            if (!m_updating)
                emit alignmentChosen(al);
        });
        m_align[i++] = b;
        lay->addWidget(b);
    }
    lay->addStretch(1);

    connect(m_font, &QFontComboBox::currentFontChanged, this, [this](const QFont& f) {
        if (m_updating)
            return;
        QTextCharFormat cf;
        cf.setFontFamilies({f.family()});
        emit charFormatChosen(cf);
    });
    auto sizeChosen = [this] {
        if (m_updating)
            return;
        bool ok = false;
        const double s = m_size->currentText().toDouble(&ok);
        if (!ok || s < 1 || s > 1638)
            return;
        QTextCharFormat cf;
        cf.setFontPointSize(s);
        emit charFormatChosen(cf);
    };
    connect(m_size, &QComboBox::textActivated, this, sizeChosen);
    connect(m_bold, &QToolButton::clicked, this, [this](bool on) {
        if (m_updating)
            return;
        QTextCharFormat cf;
        cf.setFontWeight(on ? QFont::Bold : QFont::Normal);
        emit charFormatChosen(cf);
    });
    connect(m_italic, &QToolButton::clicked, this, [this](bool on) {
        if (m_updating)
            return;
        QTextCharFormat cf;
        cf.setFontItalic(on);
        emit charFormatChosen(cf);
    });
    connect(m_underline, &QToolButton::clicked, this, [this](bool on) {
        if (m_updating)
            return;
        QTextCharFormat cf;
        cf.setFontUnderline(on);
        emit charFormatChosen(cf);
    });
}

QToolButton* TButtonBar::toggle(const QString& name, const QString& icon, const QString& hint)
{
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setToolTip(hint);
    b->setIcon(QIcon(QStringLiteral(":/editor/%1.png").arg(icon)));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

void TButtonBar::showFormat(const QTextCharFormat& chars, const QTextBlockFormat& block, bool editable)
{
    m_updating = true;
    const QFont f = chars.font();
    m_font->setCurrentFont(QFont(f.family()));
    const double pt = f.pointSizeF() > 0 ? f.pointSizeF() : 12;
    m_size->setEditText(QString::number(pt));
    m_bold->setChecked(f.bold());
    m_italic->setChecked(f.italic());
    m_underline->setChecked(f.underline());
    const Qt::Alignment a = block.alignment() & Qt::AlignHorizontal_Mask;
    m_align[0]->setChecked(a == Qt::AlignLeft || a == Qt::AlignLeading || a == 0);
    m_align[1]->setChecked(a == Qt::AlignHCenter);
    m_align[2]->setChecked(a == Qt::AlignRight || a == Qt::AlignTrailing);
    m_align[3]->setChecked(a == Qt::AlignJustify);
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        w->setEnabled(editable);
    m_updating = false;
}

} // namespace orv
