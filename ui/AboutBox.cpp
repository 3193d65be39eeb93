#include "ui/AboutBox.h"

#include "ui/Icons.h"
#include "ui/RelayTemplate.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

// The box is laid out taller than it is shown; it trims its empty lower band when it opens.
constexpr int Shrink = 46;

} // namespace

CAboutBox::CAboutBox(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("IDD_ABOUTBOX"));
    setWindowTitle(QStringLiteral("About Horaline"));
    setFont(DialogFont());
    const DialogBaseUnits base = MeasureDialogFont(font());

    auto* icon = new QLabel(this);
    icon->setGeometry(DialogToPixels(QRect(14, 7, 20, 20), base));
    icon->setFrameStyle(QFrame::Panel | QFrame::Raised);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(MainIcon().pixmap(32, 32));

    auto* name = new QLabel(QStringLiteral("Horaline"), this);
    name->setObjectName(QStringLiteral("ProductName"));
    name->setTextFormat(Qt::PlainText);
    name->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    name->setGeometry(DialogToPixels(QRect(48, 7, 83, 8), base));

    auto* version = new QLabel(QStringLiteral("v 1.008"), this);
    version->setObjectName(QStringLiteral("Version"));
    version->setGeometry(DialogToPixels(QRect(14, 33, 25, 8), base));

    auto* line = new QFrame(this);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(DialogToPixels(QRect(3, 49, 131, 2), base));

    Ok = new QPushButton(QStringLiteral("OK"), this);
    Ok->setObjectName(QStringLiteral("IDOK"));
    Ok->setDefault(true);
    Ok->setGeometry(DialogToPixels(QRect(7, 98, 124, 14), base).translated(0, -Shrink));
    connect(Ok, &QPushButton::clicked, this, &QDialog::accept);

    const QSize full = DialogToPixels(QSize(138, 119), base);
    setFixedSize(full.width(), full.height() - Shrink);
}

void CAboutBox::PlaceOver(const QWidget* mainWindow)
{
    QRect area;
    if (mainWindow->isVisible() && !mainWindow->isMinimized())
        area = mainWindow->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    QRect box(QPoint(0, 0), size());
    box.moveCenter(area.center());
    move(box.topLeft());
}
