#include "app/SplashForm.h"

#include "app/JpegImage.h"
#include "platform/Clock.h"
#include "platform/PendingMessages.h"
#include "ui/main/GradientLabel.h"

#include <QFile>
#include <QLabel>
#include <QPainter>

static void initAppResources() { Q_INIT_RESOURCE(app); }

namespace orv::app {
namespace {

QByteArray resourceBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ui::GradientLabel* raisedTitle(QWidget* parent, const QString& text, int points, QRect geometry)
{
    auto* label = new ui::GradientLabel(text, parent);
    QFont f(QStringLiteral("Arial"), points);
    f.setBold(true);
    label->setFont(f);
    label->setColors(QColor(255, 255, 255, 235), QColor(160, 160, 160, 235));
    label->setTextColor(QColor(40, 40, 40));
    label->setRaised(true);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(geometry);
    return label;
}

} // namespace

TSplashform::TSplashform(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    initAppResources();
    setObjectName(QStringLiteral("Splashform"));
    setFixedSize(441, 357);
    move(294, 130);
    m_background = decodeJpeg(resourceBytes(QStringLiteral(":/app/resources/splash.jpg")));

    auto* title = raisedTitle(this, QStringLiteral("Orvanta"), 22, QRect(15, 19, 409, 139));
    title->setObjectName(QStringLiteral("lbTitle"));
    auto* distributor = raisedTitle(this, QStringLiteral("Distribuito da:"), 12, QRect(10, 228, 111, 22));
    distributor->setObjectName(QStringLiteral("lbDistributor"));
    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("imgDistributor"));
    logo->setGeometry(10, 255, 96, 96);
    logo->setScaledContents(true);
    logo->setPixmap(QPixmap(QStringLiteral(":/app/resources/distributor.png")));
}

void TSplashform::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_background.isNull())
        p.fillRect(rect(), QColor(0x2c, 0x4a, 0x7a));
    else
        p.drawImage(rect(), m_background);
}

void waitWithSplash(quint32 milliseconds)
{
    const quint32 start = Clock::tickCount();
    // Unsigned difference: correct across a wrap of the counter.
    while (Clock::tickCount() - start < milliseconds)
        processMessages();
}

} // namespace orv::app
