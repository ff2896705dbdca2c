#include "ui/Splash.h"

#include "data/Startup.h"
#include "ui/TrayIcon.h"

#include <QLinearGradient>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSplashScreen>
#include <QTimer>
#include <QToolBar>

namespace qdui {
namespace {

QPixmap splashPicture(qreal ratio) {
    const QSize size(440, 200);
    QPixmap pm(size * ratio);
    pm.setDevicePixelRatio(ratio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(38, 70, 110));
    g.setColorAt(1, QColor(18, 36, 60));
    p.fillRect(QRect(QPoint(0, 0), size), g);
    applicationIcon().paint(&p, QRect(28, 48, 104, 104));
    p.setPen(Qt::white);
    QFont big = p.font();
    big.setPointSize(22);
    big.setBold(true);
    p.setFont(big);
    p.drawText(QRect(150, 52, 280, 44), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(qd::kProductName));
    QFont small = p.font();
    small.setPointSize(10);
    small.setBold(false);
    p.setFont(small);
    p.setPen(QColor(210, 222, 240));
    p.drawText(QRect(150, 98, 280, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Version %1").arg(QString::fromUtf8(qd::kProductVersion)));
    p.drawText(QRect(150, 122, 280, 40), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Task scheduler, reminders and desktop automation"));
    p.setPen(QColor(90, 120, 160));
    p.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
    return pm;
}

} // namespace

QWidget* showSplash(QMainWindow& frame, int closeAfterMs) {
    const qreal ratio = frame.screen() ? frame.screen()->devicePixelRatio() : 1.0;
    auto* splash = new QSplashScreen(frame.screen(), splashPicture(ratio));
    splash->setObjectName("Splash");
    splash->setWindowTitle(QStringLiteral("%1 starting").arg(QString::fromUtf8(qd::kProductName)));
    splash->setAttribute(Qt::WA_DeleteOnClose);
    const auto dismiss = [splash] { splash->close(); };
    for (QMenu* menu : frame.menuBar()->findChildren<QMenu*>())
        QObject::connect(menu, &QMenu::aboutToShow, splash, dismiss);
    for (QToolBar* bar : frame.findChildren<QToolBar*>())
        QObject::connect(bar, &QToolBar::actionTriggered, splash, dismiss);
    QTimer::singleShot(closeAfterMs, splash, dismiss);
    // Over the middle of the frame.
    splash->move(frame.geometry().center() - splash->rect().center());
    splash->show();
    return splash;
}

} // namespace qdui
